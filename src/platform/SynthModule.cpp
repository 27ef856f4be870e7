#include "platform/SynthModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace orvane {

std::vector<std::string> SynthModuleCandidates() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path folder = executable.parent_path();
  return {(folder / kSynthModuleFileName).string(),
          (folder / ORVANE_SYNTH_MODULE_FROM_BINDIR / kSynthModuleFileName)
              .lexically_normal()
              .string()};
}

std::unique_ptr<SynthOutput> OpenSynthModule(const std::vector<std::string>& candidates,
                                             bool dynamicSampleLoading,
                                             const std::function<JackServerInfo()>& askJack,
                                             const std::vector<std::string>& soundFonts) {
  for (const std::string& path : candidates) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) continue;  // missing, or not a library that loads here
    const auto version =
        reinterpret_cast<SynthModuleVersionFunction>(dlsym(module, kSynthModuleVersionSymbol));
    const auto open =
        reinterpret_cast<SynthModuleOpenFunction>(dlsym(module, kSynthModuleOpenSymbol));
    if (version == nullptr || open == nullptr || version() != kSynthModuleVersion) {
      dlclose(module);
      continue;
    }
    // Never closed: the synthesizer and its threads run the module's code until the process ends.
    return std::unique_ptr<SynthOutput>(open(dynamicSampleLoading, askJack, soundFonts));
  }
  return nullptr;
}

}  // namespace orvane
