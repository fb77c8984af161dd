// The viewer's context menu as state: items with their captions, check marks and enabled
// states, which the control keeps up to date and a host shows on a right click.
#pragma once

#include <string>
#include <vector>

namespace viewer {

struct MenuItem {
    std::string name;     // "mnzoom100"
    std::string caption;  // "Zoom 100%"
    std::string parent;   // the submenu it belongs to, empty at the top
    bool checked = false;
    bool enabled = true;
};

class Menu {
  public:
    Menu();
    MenuItem* find(const std::string& name);
    const MenuItem* find(const std::string& name) const;
    void check(const std::string& name, bool checked);
    void enable(const std::string& name, bool enabled);
    const std::vector<MenuItem>& items() const { return m_items; }

  private:
    std::vector<MenuItem> m_items;
};

}  // namespace viewer
