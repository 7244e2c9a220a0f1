// A host whose shared services come from one SharedServices: the accessors
// of the Host interface that every host answers alike are written here once.
// A host derives from this, gives its SharedServices through Services(), and
// implements what differs: its event loop, display, show and about windows,
// message boxes and sound output.
#pragma once

#include "hosts/common/shared_services.hpp"
#include "runtime/host.hpp"

namespace vistel {

class SharedHost : public Host {
 public:
  FileSystem& Files() final { return Services().Files(); }
  ProcessInfo& Process() final { return Services().Process(); }
  ProcessControl& Control() final { return Services().Process(); }
  SystemFolders& Folders() final { return Services().Folders(); }
  RegistryApi& Registry() final { return Services().Registry(); }
  OsVersionSource& OsVersion() final { return Services().OsVersion(); }
  PasswordServices& Password() final { return Services().Password(); }
  MciService& Mci() final { return Services().Mci(); }
  Trace& Tracer() final { return Services().Tracer(); }
  PictureDecoder& Pictures() final { return Services().Pictures(); }
  ClipDecoder& Clips() final { return Services().Clips(); }
  FontService& Fonts() final { return Services().Fonts(); }

  // Saves the registry to its file (creating its folder); nothing to do
  // without one.
  Status WriteBackRegistry() { return Services().WriteBackRegistry(); }

 protected:
  virtual SharedServices& Services() = 0;
};

}  // namespace vistel
