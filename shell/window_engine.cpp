// The desktop program's engine.
#include "shell/window_engine.h"

#include "platform/folders.h"
#include "platform/locale_format.h"

namespace vardell {

WindowEngine makeWindowEngine(RunWindow& window, const ShellConfig& config) {
  WindowEngine made;
  made.fs = makePosixFileSystem();
  const std::string logFolder = config.logFolder.empty() ? settingsFolder() : config.logFolder;
  const std::string perUser = config.logFolder.empty() ? perUserSettingsFolder() : config.logFolder;
  made.engine = std::make_unique<SyncEngine>(
      *made.fs, window, EngineSetup{logFolder, perUser, config.commandLine, systemLocaleFormat()});
  return made;
}

}  // namespace vardell
