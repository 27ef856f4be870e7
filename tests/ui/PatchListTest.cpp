#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>

#include "DialogTestRig.h"
#include "ModalDialogDriver.h"
#include "ui/SettingsDlg.h"

namespace orvane {
namespace {

// The General MIDI instrument names in program order, as the patch lists name them.
constexpr const char* kInstrumentNames =
    "Acoustic Grand piano|Bright Acoustic Piano|Electric grand piano|Honky-tonk piano|"
    "Rhodes piano|Chorused piano|Harpsichord|Clavinet|Celesta|Glockenspiel|Music box|"
    "Vibraphone|Marimba|Xylophone|Tubular bells|Dulcimer|Hammond organ|Percussive organ|"
    "Rock organ|Church organ|Reed organ|Accordion|Harmonica|Tango accordion|"
    "Acoustic guitar (nylon)|Acoustic guitar (steel)|Electric guitar (jazz)|"
    "Electric guitar (clean)|Electric guitar (muted)|Overdriven guitar|Distortion guitar|"
    "Guitar harmonics|Acoustic bass|Electric bass (finger)|Electric bass (pick)|"
    "Fretless bass|Slap bass|Slap bass|Synth bass|Synth bass|Violin|Viola|Cello|Contrabass|"
    "Tremolo strings|Pizzicato strings|Orchestral harp|Timpani|String ensemble|"
    "String ensemble|Synth. strings|Synth. strings|Choir Aahs|Voice Oohs|Synth voice|"
    "Orchestra hit|Trumpet|Trombone|Tuba|Muted trumpet|French horn|Brass section|"
    "Synth. brass|Synth. brass|Soprano sax|Alto sax|Tenor sax|Baritone sax|Oboe|"
    "English horn|Bassoon|Clarinet|Piccolo|Flute|Recorder|Pan flute|Bottle|Shakuhachi|"
    "Whistle|Ocarina|Lead 1 (square)|Lead 2 (sawtooth)|Lead 3 (calliope lead)|"
    "Lead 4 (chiff lead)|Lead 5 (charang)|Lead 6 (voice)|Lead 7 (fifths)|"
    "Lead 8 (brass + lead)|Pad 1 (new age)|Pad 2 (warm)|Pad 3 (polysynth)|Pad 4 (choir)|"
    "Pad 5 (bowed)|Pad 6 (metallic)|Pad 7 (halo)|Pad 8 (sweep)|FX 1 (rain)|"
    "FX 2 (soundtrack)|FX 3 (crystal)|FX 4 (atmosphere)|FX 5 (brightness)|FX 6 (goblins)|"
    "FX 7 (echoes)|FX 8 (sci-fi)|Sitar|Banjo|Shamisen|Koto|Kalimba|Bag pipe|Fiddle|Shanai|"
    "Tinkle Bell|Agogo|Steel Drums|Woodblock|Taiko Drum|Melodic Tom|Synth Drum|"
    "Reverse Cymbal|Guitar fret noise|Breath noise|Seashore|Bird tweet|Telephone ring|"
    "Helicopter|Applause|Gunshot";

QStringList Items(const QComboBox& list) {
  QStringList items;
  for (int i = 0; i < list.count(); ++i) items << list.itemText(i);
  return items;
}

TEST(PatchLists, EveryListShowsThe128ProgramsAndTheDrumChannelBareNumbers) {
  QStringList named;
  QStringList numbers;
  const QStringList names = QString(kInstrumentNames).split('|');
  ASSERT_EQ(names.size(), 128);
  for (int program = 0; program < 128; ++program) {
    named << QString::number(program) + ' ' + names[program];
    numbers << QString::number(program);
  }
  testing::ToneGenRig rig;
  CSettingsDlg dialog(rig.toneGen, rig.messages);
  for (int layer = 0; layer < 16; ++layer) {
    auto* list = testing::Control<QComboBox>(dialog, 1019 + layer);
    ASSERT_NE(list, nullptr) << layer;
    EXPECT_EQ(Items(*list), layer == 9 ? numbers : named) << "channel " << layer + 1;
  }
}

}  // namespace
}  // namespace orvane
