#pragma once
#include <QStringList>

#include <memory>
#include <vector>

class QLocale;
class QTranslator;

// The program from start to end; its result is the process exit code.
int run_program(int argc, char** argv);

// Where the program's .qm files are looked for: beside the program (the build) and in
// share/cardwright/translations beside its bin/ (the installed program).
QStringList translation_dirs();
// Installs the program's translation for `locale` from the first of `dirs` that has one, and
// Qt's own for its standard buttons and dialogs. English needs none. The translators stay in
// use while they live.
std::vector<std::unique_ptr<QTranslator>> install_translations(const QLocale& locale, const QStringList& dirs);

class main_window;
class signal_bridge;
// Ties the close requests from outside (SIGTERM, SIGINT, SIGHUP, the session ending) to the
// window: the first closes it; one while a failed save is being asked about ends the close
// once the database is in a rescue copy.
void connect_close_requests(signal_bridge& bridge, main_window& window);
