#pragma once
// The one main window: two text boxes, the four main buttons, the grade row, the OK button
// and a menu bar with File, Help, "  Stop  " and "  Skip  ".
#include <QMainWindow>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "session/queue_file_edits.h"
#include "session/start_directory.h"
#include "ui/item_box.h"
#include "ui/window_state.h"

class QAction;
class QLabel;
class QMenuBar;
class QPushButton;
class QSplitter;
class overview_panel;

struct status_figures;

// Where every control goes in a client area of width × height whose left edge is `left`.
struct main_layout {
    QRect question;
    QRect answer;
    std::array<QRect, 4> main_buttons;  // review, add, queue, force
    std::array<QRect, 6> grades;
    QRect ok;
};
main_layout compute_layout(int width, int height, int left);

// The status text of the main screen with CR LF line ends, at most 255 characters.
QString format_status_text(const std::optional<QString>& message, const status_figures& figures);

class main_window : public QMainWindow {
    Q_OBJECT
public:
    // Steps of the creation sequence up to the data directory: menu bar, size, settings,
    // controls, fonts, greyed Stop and Skip.
    main_window();
    ~main_window() override;

    // Opens the data directory (with its recovery), starts the network and shows the main
    // screen; the window, if shown, stays drawn while the files are read, but takes no input
    // (a close asked meanwhile comes after). 0 when the program can go on, otherwise the exit
    // code to end with.
    int open_data();

    // The commands of the buttons and the menus, one each.
    void start_reviews();
    void start_adding();
    void start_queue();
    void start_forced();
    void grade_clicked(int grade);
    void ok_clicked();
    void exit_program();
    void show_about();
    void show_getting_started();
    void show_settings();
    void show_fonts();
    void restore_backup();
    void import_items();
    void export_items();
    void undo();
    void show_statistics();
    void browse();
    void stop();
    void skip();
    // The keyboard rules for a key that reaches the window (or a box that is not being edited).
    void handle_key(int key);
    bool arrow_into_tree(QKeyEvent* event);
    // The closing sequence; runs once, whatever asks for it.
    void closing_sequence();
    bool closed() const { return closed_; }

    item_box* question_box = nullptr;  // the question, or the status text on the main screen
    item_box* answer_box = nullptr;  // the answer; hidden on the main screen
    QPushButton* review_button = nullptr;  // "Go through scheduled reviews"
    QPushButton* add_button = nullptr;  // "Add new items"
    QPushButton* queue_button = nullptr;  // "Add items from queue"
    QPushButton* force_button = nullptr;  // "Force reviews"
    std::array<QPushButton*, 6> grade_buttons{};  // grades 0 to 5, after the reveal and on the add screen
    QPushButton* ok_button = nullptr;  // reveals the answer
    QAction* stop_action = nullptr;  // "  Stop  " in the menu bar: back to the main screen
    QAction* skip_action = nullptr;  // "  Skip  " in the menu bar: another item
    QAction* undo_action = nullptr;  // "Undo", named after the grade it takes back
    QWidget* client_area = nullptr;  // the screens: the two boxes and the buttons, laid out as always
    overview_panel* overview = nullptr;  // beside the main screen: the categories and their counts
    QSplitter* splitter = nullptr;  // between the overview and the screens
    QLabel* status_line = nullptr;  // under the window: the data directory, due and queued counts
    class sync_watch* sync = nullptr;  // the sync folder, while one is set
    // Enables the undo entry and names the grade, as the session stands now.
    void update_undo_action();

    // After a dialog: the window has the keyboard again, with the focus on a control it shows.
    void take_keyboard_back();

    // Greys the entries of the menus whose action cannot be taken now; their keys follow.
    void refresh_actions();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void create_menu_bar();
    void create_review_menu(QMenuBar* bar);
    void size_to_screen();
    void create_controls();
    // A control with its described id as the "control_id" property.
    QPushButton* make_button(const QString& text, int id, const char* name, std::function<void()> command);
    start_directory read_data_directory(const QString& set_path);
    int check_data_directory();
    uint8_t* ask_flag_of(QObject* button);

    bool closed_ = false;
    bool arrow_in_tree_ = false;  // an arrow key is being handed to the category tree
    bool opening_ = false;  // the data directory is being read on another thread: no input, no database
    bool close_asked_while_opening_ = false;  // a close came then; it is taken up once the database is open
    uint64_t press_started_ = 0;
    // The entries of the menus that can only be taken in some states of the window.
    struct state_action {
        QAction* action;
        bool (*available)(const main_window*);
    };
    std::vector<state_action> state_actions_;
    // The main button that the mouse last pressed; a click that no press began (the
    // keyboard) starts its activity without asking for categories.
    QObject* pressed_button_ = nullptr;
};

void layout_main_window(main_window* window);
void show_main_screen(const std::optional<QString>& message = std::nullopt);
// Says in the status line how many items added to queue.txt while the program ran were taken in.
void tell_queue_file_edits(const queue_file_edits& edits);
void set_status_text(const std::optional<QString>& message);
void show_main_buttons();
void hide_main_buttons();
void set_stop_enabled(bool on);
void set_skip_enabled(bool on);
