#pragma once
// Identifiers of the program's commands, controls and dialogs, shared by the window and its
// tests so that both speak of the same things.

enum : int {
    icon_program = 101,
    menu_main = 102,
    dialog_about = 103,
    dialog_settings = 104,
    dialog_fonts = 105,
    dialog_category_selection = 106,
};

enum : int {
    id_grade_first = 10,  // grade buttons 10 to 15
    id_grade_last = 15,
    id_review_button = 21,
    id_add_button = 22,
    id_queue_button = 23,
    id_force_button = 24,
    id_ok_button = 25,
};

enum : int {
    cmd_exit = 40002,
    cmd_about = 40003,
    cmd_settings = 40004,
    cmd_fonts = 40005,
    cmd_stop = 40008,
    cmd_skip = 40009,
    cmd_restore_backup = 40010,
    cmd_import = 40011,
    cmd_export = 40012,
    cmd_undo = 40030,
    cmd_statistics = 40031,
    cmd_browse = 40040,
};

// Controls of the Fonts and Settings dialogs.
enum : int {
    id_data_path_edit = 1001,
    id_answer_face = 1005,
    id_question_face = 1002,
    id_question_cleartype = 1006,
    id_answer_cleartype = 1007,
    id_answer_size = 1008,
    id_question_size = 1009,
    id_random_pick = 1013,
};
