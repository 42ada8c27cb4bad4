#include "app/form_model.h"

namespace zjig {

void FormModel::Define(const std::string& name, ControlState state) {
    std::lock_guard lock(mutex_);
    controls_[name] = std::move(state);
}

bool FormModel::Has(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return controls_.count(name) != 0;
}

ControlState FormModel::Get(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = controls_.find(name);
    return it == controls_.end() ? ControlState{} : it->second;
}

bool FormModel::Enabled(const std::string& name) const { return Get(name).enabled; }
bool FormModel::Visible(const std::string& name) const { return Get(name).visible; }
bool FormModel::Checked(const std::string& name) const { return Get(name).checked; }
std::string FormModel::Text(const std::string& name) const { return Get(name).text; }
int FormModel::ItemIndex(const std::string& name) const { return Get(name).itemIndex; }
std::vector<std::string> FormModel::Items(const std::string& name) const {
    return Get(name).items;
}
Rgb FormModel::Color(const std::string& name) const { return Get(name).color; }

template <class F>
void FormModel::Change(const std::string& name, F&& f) {
    {
        std::lock_guard lock(mutex_);
        f(controls_[name]);
    }
    ui_.ControlChanged(name);
}

void FormModel::SetEnabled(const std::string& name, bool on) {
    Change(name, [&](ControlState& c) { c.enabled = on; });
}
void FormModel::SetVisible(const std::string& name, bool on) {
    Change(name, [&](ControlState& c) { c.visible = on; });
}
void FormModel::SetChecked(const std::string& name, bool on) {
    Change(name, [&](ControlState& c) { c.checked = on; });
}
void FormModel::SetText(const std::string& name, const std::string& text) {
    Change(name, [&](ControlState& c) { c.text = text; });
}
void FormModel::SetItems(const std::string& name, std::vector<std::string> items) {
    Change(name, [&](ControlState& c) {
        c.items = std::move(items);
        c.itemIndex = -1;
        c.text.clear();
    });
}
void FormModel::AddItem(const std::string& name, const std::string& item) {
    Change(name, [&](ControlState& c) { c.items.push_back(item); });
}
void FormModel::SetItemIndex(const std::string& name, int index) {
    Change(name, [&](ControlState& c) {
        if (index < 0 || index >= static_cast<int>(c.items.size())) {
            c.itemIndex = -1;
            c.text.clear();
        } else {
            c.itemIndex = index;
            c.text = c.items[static_cast<size_t>(index)];
        }
    });
}
void FormModel::SetColor(const std::string& name, Rgb color) {
    Change(name, [&](ControlState& c) { c.color = color; });
}

}  // namespace zjig
