// The engine's model of the windows' controls. It is the authority for every
// control state (enabled, visible, checked, text, list items, chosen item,
// fill colour): the engine's handlers and jobs read and write it from either
// thread, and the user interface mirrors it (it is told through
// UiPort::ControlChanged) and writes the user's own changes back into it.
// Windows are controls too ("TENE_for_solder" visible or not).
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace zjig {

struct ControlState {
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::string text;                // caption, or the text of a list box's edit field
    std::vector<std::string> items;  // list items
    int itemIndex = -1;              // chosen item, -1 for none
    Rgb color{};                     // fill colour (shapes) or font colour (labels)
};

class FormModel {
public:
    explicit FormModel(UiPort& ui) : ui_(ui) {}

    // Creates or replaces a control without notifying (used while building windows).
    void Define(const std::string& name, ControlState state);
    bool Has(const std::string& name) const;
    ControlState Get(const std::string& name) const;  // a copy; empty state when unknown

    bool Enabled(const std::string& name) const;
    bool Visible(const std::string& name) const;
    bool Checked(const std::string& name) const;
    std::string Text(const std::string& name) const;
    int ItemIndex(const std::string& name) const;
    std::vector<std::string> Items(const std::string& name) const;
    Rgb Color(const std::string& name) const;

    void SetEnabled(const std::string& name, bool on);
    void SetVisible(const std::string& name, bool on);
    void SetChecked(const std::string& name, bool on);
    void SetText(const std::string& name, const std::string& text);
    // Replaces the items; the chosen item becomes -1 and the text empty.
    void SetItems(const std::string& name, std::vector<std::string> items);
    void AddItem(const std::string& name, const std::string& item);
    // Chooses an item; the text becomes that item's text (empty for -1).
    void SetItemIndex(const std::string& name, int index);
    void SetColor(const std::string& name, Rgb color);

private:
    template <class F>
    void Change(const std::string& name, F&& f);

    UiPort& ui_;
    mutable std::mutex mutex_;
    std::map<std::string, ControlState> controls_;
};

}  // namespace zjig
