#include "builder/window_module.h"

#include <dlfcn.h>

#include <cstring>
#include <ostream>

#include "builder/version_text.h"

namespace builder {

std::unique_ptr<waiting_notice> open_window_from_module(std::ostream& err) {
  // By its name alone: the loader looks in the program's own search path,
  // which names the build tree, or the installed module's directory both
  // relative to the program and where it was installed.
  void* module = dlopen(window_module_file, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    err << "no waiting window: " << (reason != nullptr ? reason : window_module_file) << '\n';
    return nullptr;
  }
  // A function's address comes back from dlsym as an object pointer; POSIX
  // guarantees the conversion.
  const auto version = reinterpret_cast<window_module_version_function>(
      dlsym(module, window_module_version_symbol));
  const auto open =
      reinterpret_cast<window_module_open_function>(dlsym(module, window_module_open_symbol));
  if (version == nullptr || open == nullptr ||
      std::strcmp(version(), SCENARIO_BUILDER_VERSION) != 0) {
    err << "no waiting window: the " << window_module_file
        << " found was not built with this program ("
        << (version != nullptr ? version() : "it tells no version") << ")\n";
    dlclose(module);
    return nullptr;
  }
  return std::unique_ptr<waiting_notice>(open());
}

}  // namespace builder
