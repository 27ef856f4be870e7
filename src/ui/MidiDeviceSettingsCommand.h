#pragma once

class QWidget;

namespace orvane {

class CToneGen;

// "Midi device settings": shows the device dialog over `parent`; devices switch as they are
// chosen, and Cancel reopens the output that was in use before.
void RunMidiDeviceSettingsCommand(CToneGen& toneGen, QWidget* parent);

}  // namespace orvane
