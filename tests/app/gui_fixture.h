// In-process window tests: a fresh copy of the interface from the bundle for every test.
#pragma once

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <chrono>
#include <functional>

#include "app/widgets.h"

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;

    Glib::RefPtr<Gtk::Builder> builder;
};

// Runs the main loop until nothing is pending.
void pump_events();

// Runs the main loop until the condition holds or the deadline passes; returns the condition.
bool run_until(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Clicks the button as soon as its modal dialog is shown, so a handler that runs the dialog
// returns. Gives up after the deadline by hiding the dialog, so a test never hangs.
void answer_dialog_when_shown(Gtk::Dialog* dialog, Gtk::Button* button,
                              std::chrono::milliseconds deadline = std::chrono::seconds(10));
