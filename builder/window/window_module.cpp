#include "builder/window/window_module.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "builder/version_text.h"

namespace builder {

namespace {

namespace fs = std::filesystem;

// The directories the loader would search for a library of the program: its
// own search path with $ORIGIN expanded (the build tree; once installed, the
// module's directory relative to the program, then where it was installed),
// then the system's. They are asked for and searched here, rather than by
// handing dlopen the bare name, because dlopen searches the path of the
// object that calls it, and a sanitizer's interceptor stands in for the
// program there.
std::vector<fs::path> search_directories() {
  std::vector<fs::path> directories;
  void* program = dlopen(nullptr, RTLD_LAZY);
  if (program == nullptr) return directories;
  Dl_serinfo sizes;
  if (dlinfo(program, RTLD_DI_SERINFOSIZE, &sizes) == 0 && sizes.dls_size >= sizeof(Dl_serinfo)) {
    std::vector<std::max_align_t> storage(sizes.dls_size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
    info->dls_size = sizes.dls_size;
    info->dls_cnt = sizes.dls_cnt;
    if (dlinfo(program, RTLD_DI_SERINFO, info) == 0) {
      const Dl_serpath* paths = info->dls_serpath;
      for (unsigned int i = 0; i < info->dls_cnt; ++i) directories.emplace_back(paths[i].dls_name);
    }
  }
  dlclose(program);
  return directories;
}

}  // namespace

std::unique_ptr<waiting_notice> open_window_from_module(std::ostream& err) {
  fs::path found;
  for (const fs::path& directory : search_directories()) {
    std::error_code error;
    if (fs::is_regular_file(directory / window_module_file, error)) {
      found = directory / window_module_file;
      break;
    }
  }
  if (found.empty()) {
    err << "no waiting window: " << window_module_file
        << " is not in the program's library search path\n";
    return nullptr;
  }
  void* module = dlopen(found.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    err << "no waiting window: " << (reason != nullptr ? reason : found.string()) << '\n';
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
    err << "no waiting window: " << found.string() << " was not built with this program ("
        << (version != nullptr ? version() : "it tells no version") << ")\n";
    dlclose(module);
    return nullptr;
  }
  return std::unique_ptr<waiting_notice>(open());
}

}  // namespace builder
