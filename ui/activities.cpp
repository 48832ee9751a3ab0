#include "ui/activities.h"

#include <QPushButton>

#include "ui/main_window.h"

namespace {

const review_activity activities[] = {
    {screen_mode::scheduled, &main_window::review_button, &settings::acs1, &window_state::ask_categories_scheduled},
    {screen_mode::queue, &main_window::queue_button, &settings::acs2, &window_state::ask_categories_queue},
    {screen_mode::forced, &main_window::force_button, &settings::acs4, &window_state::ask_categories_forced},
};

}  // namespace

const review_activity* activity_of_mode(screen_mode mode)
{
    for (const review_activity& a : activities)
        if (a.mode == mode)
            return &a;
    return nullptr;
}

const review_activity* activity_of_button(const main_window* window, const QObject* button)
{
    for (const review_activity& a : activities)
        if (static_cast<const QObject*>(window->*a.button) == button)
            return &a;
    return nullptr;
}

category_set* remembered_set_of(screen_mode mode)
{
    const review_activity* a = activity_of_mode(mode);
    settings* record = ui().settings_record.get();
    return a && record ? &(record->*a->remembered) : nullptr;
}
