#include "media/ffmpeg/library_loader.hpp"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vistel {
namespace {

Error LoadError(std::string_view family, std::string_view reason) {
  return Error(ErrorCode::InvalidProcedureCall,
               "cannot load " + std::string(family) + " (" + std::string(reason) + ")");
}

std::string LastLoaderError(std::string_view fallback) {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : std::string(fallback);
}

}  // namespace

Status LoadLibraries(std::string_view family, std::span<const char* const> sonames,
                     std::span<const LibrarySymbol> symbols) {
  std::vector<void*> handles;
  handles.reserve(sonames.size());
  for (const char* soname : sonames) {
    // Every reference bound now: a library that lacks something fails here,
    // not later in the middle of a decode.
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return Fail(LoadError(family, LastLoaderError(soname)));
    handles.push_back(handle);
  }
  std::vector<void*> addresses(symbols.size(), nullptr);
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    for (void* handle : handles) {
      dlerror();
      addresses[i] = dlsym(handle, symbols[i].name);
      if (addresses[i] != nullptr) break;
    }
    if (addresses[i] == nullptr) {
      std::string libraries;
      for (const char* soname : sonames)
        libraries += (libraries.empty() ? "" : ", ") + std::string(soname);
      return Fail(
          LoadError(family, std::string("no function ") + symbols[i].name + " in " +
                                (libraries.empty() ? std::string("no library") : libraries)));
    }
  }
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    symbols[i].address->store(addresses[i], std::memory_order_release);
  }
  return {};
}

void CalledBeforeLoading(const char* function, const char* family) {
  std::fprintf(stderr, "vistel: %s called before %s was loaded\n", function, family);
  std::abort();
}

}  // namespace vistel
