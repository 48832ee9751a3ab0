#include "ui/program.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QThread>
#include <QTranslator>

#include "settings/dialogs.h"
#include "ui/data_safety.h"
#include "ui/frame_log.h"
#include "ui/main_window.h"
#include "ui/signal_bridge.h"
#include "ui/single_instance.h"

namespace {

// Dialogs still open store what they show before the window closes and saves.
void close_everything(main_window& window)
{
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == &window)
            break;
        modal->close();
    }
    // Inside a dialog's loop, which ends only once this returns, what runs after it (the
    // browser, whose threads read the items) still needs the database: it is closed after them.
    if (QThread::currentThread()->loopLevel() > 1)
        QMetaObject::invokeMethod(&window, [&window] { window.close(); }, Qt::QueuedConnection);
    else
        window.close();
}

void on_close_request(main_window& window)
{
    if (!end_close_with_rescue())
        close_everything(window);
}

void bring_to_front(main_window& window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

void connect_close_requests(signal_bridge& bridge, main_window& window)
{
    QObject::connect(&bridge, &signal_bridge::termination_requested, &window,
        [&window](int) { on_close_request(window); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
        [&window](QSessionManager&) { on_close_request(window); });
}

QStringList translation_dirs()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return {bin, QDir::cleanPath(bin + QStringLiteral("/../share/cardwright/translations"))};
}

std::vector<std::unique_ptr<QTranslator>> install_translations(const QLocale& locale, const QStringList& dirs)
{
    std::vector<std::unique_ptr<QTranslator>> installed;
    auto install = [&installed](std::unique_ptr<QTranslator> translator) {
        if (QCoreApplication::installTranslator(translator.get()))
            installed.push_back(std::move(translator));
    };
    const auto install_own = [&](const QLocale& wanted) {
        for (const QString& dir : dirs) {
            auto own = std::make_unique<QTranslator>();
            if (own->load(wanted, QStringLiteral("cardwright"), QStringLiteral("_"), dir)) {
                install(std::move(own));
                return true;
            }
        }
        return false;
    };
    // English is the texts' own language, but its plural forms come from a translation too: a
    // locale without a translation of its own (C, for one) takes the English one.
    if (!install_own(locale))
        install_own(QLocale(QLocale::English));
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        install(std::move(qt));
    return installed;
}

int run_program(int argc, char** argv)
{
    frame_logging_application app(argc, argv);
    const auto translators = install_translations(QLocale::system(), translation_dirs());
    // The closing sequence ends the program with its own exit code (1 when the session is only in
    // a rescue copy); the window's close quitting by itself would end it with 0 first.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.cardwright.cardwright"));
    QApplication::setWindowIcon(program_icon());

    single_instance instance(instance_name());
    if (instance.ask_running_copy())
        return 0;
    if (!instance.listen() && instance.ask_running_copy())
        return 0;  // another copy started at the same moment and won

    signal_bridge bridge;
    main_window window;
    QObject::connect(&instance, &single_instance::raise_requested, &window, [&window] { bring_to_front(window); });
    connect_close_requests(bridge, window);
    // Shown before the data is read, so that a large collection's reading is seen to happen.
    // Without a window manager nothing gives the new window the keyboard: it takes it itself,
    // or the first keys typed would go nowhere.
    bring_to_front(window);
    if (const int code = window.open_data())
        return code;
    window.take_keyboard_back();

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.closing_sequence(); });
    return QApplication::exec();
}
