#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleHints>
#include <QTextCharFormat>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

#include "ann/ann_files.h"
#include "exchange/import_leftovers.h"
#include "session/choose.h"
#include "session/lifecycle.h"
#include "session/queue_file_edits.h"
#include "session/start_directory.h"
#include "session/statistics.h"
#include "resources/ids.h"
#include "resources/version.h"
#include "settings/dialogs.h"
#include "ui/activities.h"
#include "ui/boxes.h"
#include "ui/data_safety.h"
#include "ui/help_page.h"
#include "ui/item_box.h"
#include "ui/markup.h"
#include "ui/overview_panel.h"
#include "ui/screen_layout.h"
#include "ui/screens.h"
#include "ui/sync_watch.h"
#include "session/sync.h"

namespace {

constexpr int row_height = 30;
constexpr uint32_t double_tap_ms = 300;

// A second tap sooner than `gap_ms` after the last one is a double tap, not a second command.
bool tap_taken(uint32_t gap_ms)
{
    window_state& w = ui();
    const uint32_t now = tick_count_ms();
    if (w.last_click_time != 0 && now - w.last_click_time < gap_ms)
        return false;
    w.last_click_time = now;
    return true;
}

bool is_digit_key(int key) { return key >= Qt::Key_0 && key <= Qt::Key_9; }

}  // namespace

main_layout compute_layout(int width, int height, int left)
{
    main_layout l;
    const int half = height / 2 - 15;
    l.question = QRect(left, 0, width, half);
    l.answer = QRect(left, half, width, half);
    const int band = (half + 30) / 4;
    for (int i = 0; i < 3; ++i)
        l.main_buttons[i] = QRect(left, half + i * band, width, band);
    l.main_buttons[3] = QRect(left, half + 3 * band, width, half + 30 - 3 * band);
    l.ok = QRect(left, height - row_height, width, row_height);
    const int cell = (width - left) / 6;
    const int rest = (width - left) % 6;
    for (int i = 0; i < 6; ++i)
        l.grades[i] = QRect(left + i * cell + (i > 0 ? rest : 0), height - row_height, cell + (i == 0 ? rest : 0), row_height);
    return l;
}

QString format_status_text(const std::optional<QString>& message, const status_figures& f)
{
    QString text;
    if (message) {
        text = QCoreApplication::translate("main_window", "%1\r\nReviews for today: %2\r\nTotal items: %3\r\nQueue: %4\r\nDays: %5")
                   .arg(*message)
                   .arg(f.due)
                   .arg(f.total)
                   .arg(f.queue)
                   .arg(f.days);
    } else {
        text = QCoreApplication::translate("main_window",
            "MobileCardwright %1\r\nReviews for today: %2\r\nTotal items: %3\r\nQueue: %4\r\nDays: %5\r\nANN state: %6; cases: %7")
                   .arg(QLatin1String(version_text))
                   .arg(f.due)
                   .arg(f.total)
                   .arg(f.queue)
                   .arg(f.days)
                   .arg(f.network_ok ? QCoreApplication::translate("main_window", "OK")
                                     : QCoreApplication::translate("main_window", "High TestError!"))
                   .arg(f.cases);
    }
    return text.left(255);
}

main_window::main_window()
{
    ui().window = this;
    setWindowTitle(QStringLiteral("Cardwright"));
    setWindowIcon(program_icon());
    setObjectName(QStringLiteral("MobileCardwright"));
    create_menu_bar();
    size_to_screen();

    ui().settings_record = std::make_unique<settings>();
    load_settings(ui().settings_record.get());
    if (!ui().settings_record->window_geometry.isEmpty())
        restoreGeometry(ui().settings_record->window_geometry);

    create_controls();
    if (!ui().settings_record->main_splitter.isEmpty())
        splitter->restoreState(ui().settings_record->main_splitter);
    set_stop_enabled(false);
    set_skip_enabled(false);
}

main_window::~main_window()
{
    if (ui().window == this)
        ui().window = nullptr;
    // The player must go while the application that it plays in still exists.
    ui().sound.reset();
    ui().viewer.reset();
}

void main_window::size_to_screen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(480, 720);
        return;
    }
    // The smallest size comes from the layouts: what shows the overview and a question whole.
    const QRect area = screen->availableGeometry();
    if (area.width() < 480 || area.height() < 600) {
        // A handheld-sized screen: take all of it, as the program always did.
        setGeometry(area);
        return;
    }
    // A desktop: room for the overview beside a question of a comfortable reading width, centred.
    const int height = std::min(area.height() * 80 / 100, 760);
    const int width = std::min(area.width() * 80 / 100, 1040);
    setGeometry(QRect(area.center().x() - width / 2, area.center().y() - height / 2, width, height));
}

QPushButton* main_window::make_button(const QString& text, int id, const char* name, std::function<void()> command)
{
    auto* button = new QPushButton(text, client_area);
    button->setObjectName(QLatin1String(name));
    button->setProperty("control_id", id);
    button->hide();
    connect(button, &QPushButton::clicked, this, [this, button, command = std::move(command)] {
        // Only a held or right-clicked press asks for categories; a click from the keyboard
        // (Space on the focused button) had no press and must not reuse an earlier one's flag.
        if (uint8_t* flag = ask_flag_of(button); flag && pressed_button_ != button)
            *flag = 0;
        pressed_button_ = nullptr;
        command();
    });
    return button;
}

void main_window::create_controls()
{
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("main_splitter"));
    splitter->setChildrenCollapsible(false);
    overview = new overview_panel(this);
    overview->setMinimumWidth(160);
    auto* client = new QWidget(splitter);
    client_area = client;
    client->setObjectName(QStringLiteral("client_area"));
    client->setAccessibleName(tr("Status and main buttons"));
    // The window itself takes the keys when no control has the focus.
    client->setFocusPolicy(Qt::StrongFocus);
    splitter->addWidget(overview);
    splitter->addWidget(client);
    // Until the user moves it: the overview a little wider than the status text and buttons.
    splitter->setSizes({width() * 55 / 100, width() * 45 / 100});
    setCentralWidget(splitter);

    const settings* s = ui().settings_record.get();
    question_box = new item_box(client);
    question_box->setObjectName(QStringLiteral("question_box"));
    question_box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    apply_box_font(question_box, s ? s->qfontsize : 0, s ? s->qfontface : QString(), s ? s->qcleartype : 2);
    answer_box = new item_box(client);
    answer_box->setObjectName(QStringLiteral("answer_box"));
    apply_box_font(answer_box, s ? s->afontsize : 0, s ? s->afontface : QString(), s ? s->acleartype : 2);
    answer_box->hide();
    // The status text of the main screen is for reading only.
    question_box->setReadOnly(true);
    question_box->setFocusPolicy(Qt::NoFocus);
    install_box_behaviour(question_box, answer_box);

    review_button = make_button(tr("Go through scheduled reviews"), id_review_button, "review_button",
        [this] { start_reviews(); });
    add_button = make_button(tr("Add new items"), id_add_button, "add_button", [this] { start_adding(); });
    queue_button = make_button(tr("Add items from queue"), id_queue_button, "queue_button",
        [this] { start_queue(); });
    force_button = make_button(tr("Force reviews"), id_force_button, "force_button",
        [this] { start_forced(); });
    for (QPushButton* b : {review_button, queue_button, force_button})
        b->installEventFilter(this);
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = "grade_button_" + QByteArray::number(i);
        grade_buttons[i] =
            make_button(QString::number(i), id_grade_first + i, name.constData(), [this, i] { grade_clicked(i); });
        grade_buttons[i]->setToolTip(tr("%1 (key %2)").arg(grade_meaning(i)).arg(i));
        // A bare digit says nothing to a listener: the name says it is a grade, the description what it means.
        grade_buttons[i]->setAccessibleName(tr("Grade %1").arg(i));
        grade_buttons[i]->setAccessibleDescription(grade_meaning(i));
    }
    review_button->setToolTip(tr("Return. Right click or hold: choose the categories first."));
    add_button->setToolTip(tr("Insert"));
    queue_button->setToolTip(tr("Ctrl+U. Right click or hold: choose the categories first."));
    force_button->setToolTip(tr("Ctrl+F. Right click or hold: choose the categories first."));

    ok_button = make_button(tr("OK"), id_ok_button, "ok_button", [this] { ok_clicked(); });
    ok_button->setToolTip(tr("Return or Space"));
    ok_button->setAccessibleDescription(tr("Shows the answer"));
    // Its messages count the items added on the add screen; the status line stays beside them.
    statusBar()->setObjectName(QStringLiteral("status_bar"));
    status_line = new QLabel(statusBar());
    status_line->setObjectName(QStringLiteral("status_line"));
    status_line->setAccessibleName(tr("Data directory and counts"));
    status_line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // In a narrow window it gives way to the summary of what other computers sent, not the other way.
    status_line->setMinimumWidth(1);
    statusBar()->addPermanentWidget(status_line);
    for (QWidget* w : {static_cast<QWidget*>(question_box), static_cast<QWidget*>(answer_box)})
        w->setAccessibleName(w == question_box ? tr("Question") : tr("Answer"));
    // The controls follow the area's size, down to the smallest that shows them readable.
    client->setLayout(new screen_layout(this));
    // Tab follows the screen in the order the controls were made: the overview on the left,
    // then the status text, the boxes and the buttons below them.
    client->setFocus();
}

void main_window::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Back from an editor in which queue.txt was changed: the main screen counts the new items
    // and offers them.
    if (event->type() == QEvent::ActivationChange && !opening_ && isActiveWindow() && ui().pass.mode() == screen_mode::main
        && queue_file_changed())
        show_main_screen();
}

uint8_t* main_window::ask_flag_of(QObject* button)
{
    const review_activity* a = activity_of_button(this, button);
    return a ? &(ui().*a->ask) : nullptr;
}

bool main_window::eventFilter(QObject* watched, QEvent* event)
{
    if (uint8_t* flag = ask_flag_of(watched)) {
        // Tap-and-hold stands for a right click or a long press; either way the button clicks.
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            *flag = 0;
            pressed_button_ = watched;
            press_started_ = tick_count_ms();
            if (mouse->button() == Qt::RightButton) {
                *flag = 1;
                static_cast<QPushButton*>(watched)->click();
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto held = static_cast<uint32_t>(tick_count_ms() - press_started_);
            if (held >= static_cast<uint32_t>(QGuiApplication::styleHints()->mousePressAndHoldInterval()))
                *flag = 1;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void main_window::start_reviews() { start_review_screen(screen_mode::scheduled); }

void main_window::start_adding() { start_add_screen(); }

void main_window::start_queue()
{
    if (pending_count() != 0)
        start_review_screen(screen_mode::queue);
}

void main_window::start_forced() { start_review_screen(screen_mode::forced); }

void main_window::grade_clicked(int grade)
{
    if (tap_taken(double_tap_ms))
        grade_or_add(grade);
}

void main_window::ok_clicked()
{
    // OK waits a millisecond longer than the grades.
    if (tap_taken(double_tap_ms + 1))
        reveal_answer();
}

void main_window::keyPressEvent(QKeyEvent* event)
{
    // Keys typed into a box belong to the box, even those it has no use for.
    QWidget* focus = QApplication::focusWidget();
    const bool in_box = focus && (focus == question_box || focus == answer_box || question_box->isAncestorOf(focus)
                                     || answer_box->isAncestorOf(focus));
    if (!in_box && control_key(event)) {
        event->accept();
        return;
    }
    if (in_box || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (arrow_into_tree(event))
        return;
    handle_key(event->key());
    event->accept();
}

// On the main screen the keyboard rests on the window, where Return reviews everything due;
// an arrow key there means the category tree, which then takes it and the keys after it.
bool main_window::arrow_into_tree(QKeyEvent* event)
{
    static constexpr int tree_keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
    QTreeWidget* tree = overview ? overview->tree() : nullptr;
    if (ui().pass.mode() != screen_mode::main || !tree || !tree->isVisible() || event->modifiers() != Qt::NoModifier
        || std::ranges::find(tree_keys, event->key()) == std::end(tree_keys))
        return false;
    // A key the tree has no use for (Down on its last row) comes back up to the window; handed
    // to the tree again, it would come back for good.
    if (arrow_in_tree_) {
        event->accept();
        return true;
    }
    arrow_in_tree_ = true;
    tree->setFocus(Qt::TabFocusReason);
    QCoreApplication::sendEvent(tree, event);
    arrow_in_tree_ = false;
    return true;
}

void main_window::handle_key(int key)
{
    window_state& w = ui();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_Select) {
        if (!ok_button->isHidden()) {
            reveal_answer();
            return;
        }
        if (w.pass.mode() == screen_mode::main) {
            // A start from the keyboard never asks for categories.
            w.ask_categories_scheduled = 0;
            start_review_screen(screen_mode::scheduled);
            return;
        }
    } else if (is_digit_key(key) && !grade_buttons[0]->isHidden()) {
        const int digit = key - Qt::Key_0;
        if (digit <= 5)
            grade_or_add(digit);
        return;
    }
    if (w.pass.mode() != screen_mode::main && key == Qt::Key_Escape) {
        show_main_screen();
        return;
    }
    if (key == Qt::Key_Delete
        && (w.pass.mode() == screen_mode::scheduled || w.pass.mode() == screen_mode::queue || w.pass.mode() == screen_mode::forced)) {
        if (show_message(this, tr("Deleting Item"),
                tr("Do you want to delete currently visible item?"), message_buttons::yes_no)
            == message_answer::yes)
            delete_shown_item();
        return;
    }
    if (key == Qt::Key_Insert && w.pass.mode() == screen_mode::main)
        start_add_screen();
}

void layout_main_window(main_window* window)
{
    if (!window || !window->client_area || !window->client_area->layout())
        return;
    // A font changed by the dialogs changes how small the area may get.
    window->client_area->layout()->invalidate();
    window->client_area->layout()->setGeometry(window->client_area->rect());
}

void set_status_text(const std::optional<QString>& message)
{
    main_window* window = ui().window;
    if (!window)
        return;
    const QString text = format_status_text(message, current_status_figures());
    // The item shown before may have begun bold or italic: none of it carries over.
    window->question_box->document()->clear();
    window->question_box->setCurrentCharFormat(QTextCharFormat());
    // The boxes end lines with a line feed alone.
    window->question_box->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // The status text's box takes no focus; a screen reader reads it with the area that does.
    window->client_area->setAccessibleDescription(window->question_box->toPlainText());
}

namespace {

// The four main buttons, shown or hidden together; the window, or null when there is none.
main_window* set_main_buttons_visible(bool visible)
{
    main_window* window = ui().window;
    if (window)
        for (QPushButton* b : {window->review_button, window->add_button, window->queue_button, window->force_button})
            b->setVisible(visible);
    return window;
}

}  // namespace

void show_main_buttons()
{
    main_window* window = set_main_buttons_visible(true);
    if (!window)
        return;
    const bool has_items = db().head != nullptr;
    window->force_button->setEnabled(has_items);
    window->review_button->setEnabled(has_items && count_due(0, nullptr) != 0);
    window->queue_button->setEnabled(pending_count() >= 1);
    window->overview->refresh();
    window->overview->show();
    window->refresh_actions();
}

void hide_main_buttons()
{
    if (main_window* window = set_main_buttons_visible(false)) {
        // A review or the add screen takes the whole width; the keys go to the screen, not
        // to whatever follows the hidden tree (a box would take Return as a line break).
        if (window->overview->isAncestorOf(QApplication::focusWidget()))
            window->client_area->setFocus(Qt::OtherFocusReason);
        window->overview->hide();
        window->refresh_actions();
    }
}

void set_stop_enabled(bool on)
{
    if (ui().window) {
        ui().window->stop_action->setEnabled(on);
        ui().window->refresh_actions();
    }
}

void set_skip_enabled(bool on)
{
    if (ui().window) {
        ui().window->skip_action->setEnabled(on);
        ui().window->refresh_actions();
    }
}

void show_main_screen(const std::optional<QString>& message)
{
    main_window* window = ui().window;
    if (!window)
        return;
    write_back_shown_item();
    ui().pass.stop();
    const queue_file_edits edits = take_queue_file_edits();
    window->ok_button->hide();
    for (QPushButton* b : window->grade_buttons)
        b->hide();
    set_status_text(message);
    // The status text is for reading: no edit, no paste, no stop on the way through the buttons.
    window->question_box->setReadOnly(true);
    window->question_box->setFocusPolicy(Qt::NoFocus);
    for (QPlainTextEdit* box : {static_cast<QPlainTextEdit*>(window->question_box), static_cast<QPlainTextEdit*>(window->answer_box)})
        box->setPlaceholderText(QString());
    window->answer_box->hide();
    clear_box_pictures();
    window->statusBar()->clearMessage();
    tell_queue_file_edits(edits);
    set_skip_enabled(false);
    set_stop_enabled(false);
    show_main_buttons();
    window->setWindowTitle(QStringLiteral("Cardwright"));
    // Hidden controls drop the focus; the window takes the keys again.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !focus->isVisible() || focus == window->question_box)
        window->client_area->setFocus();
}
