// The desktop program: the main window on the folder pair given as the first two
// parameters (or the current folder), until Exit or the close box ends it.
#include "engine/version.h"
#include "shell/main_form.h"
#include "shell/pictures.h"
#include "shell/window_prompts.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vardell"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(vardell::kApplicationTitle));
  QApplication::setWindowIcon(vardell::applicationIcon());
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 3) {
    std::fprintf(stderr,
                 "%s: unattended runs (option letters, minutes, exclusions) are not available in this build; "
                 "use vardell-cli for them. Starting the window on the first two folders.\n",
                 vardell::kApplicationTitle);
  }

  vardell::QtWindowPrompts prompts;
  vardell::TMainForm window(vardell::ShellConfig{}, prompts);
  prompts.setParent(&window);
  if (arguments.size() > 1) window.setMasterFolder(arguments[1].toStdString());
  if (arguments.size() > 2) {
    window.setMirrorFolder(arguments[2].toStdString());
    window.DriveComboBox2Change();
  }
  window.show();
  return app.exec();
}
