#pragma once
// The three reviewing activities, each with its screen mode, its button, the categories
// remembered for it and the flag of a held press on its button.
#include <cstdint>

#include "settings/settings_store.h"
#include "ui/window_state.h"

class QObject;
class QPushButton;

struct review_activity {
    screen_mode mode;  // the screen it runs in
    QPushButton* main_window::*button;  // the main button that starts it
    category_set settings::*remembered;  // the categories last chosen for it
    uint8_t window_state::*ask;  // set by a held press on its button: ask for categories first
};

// The activity of a screen mode, or null (the main and add screens).
const review_activity* activity_of_mode(screen_mode mode);
// The activity that `button` starts, or null.
const review_activity* activity_of_button(const main_window* window, const QObject* button);
// The remembered set of the activity of `mode` in the settings record, or null.
category_set* remembered_set_of(screen_mode mode);
