// The widget library as the driver and korvane-host's report show it.
#include "host/driver.h"
#include "host/widgets/widget_library.h"

#include <functional>
#include <sstream>

namespace korvane::host {
namespace {

void DepthFirst(WidgetRecord* widget, const std::function<bool(WidgetRecord*)>& visit, bool& stop) {
    if (stop) return;
    if (visit(widget)) {
        stop = true;
        return;
    }
    for (WidgetRecord* child : widget->children) DepthFirst(child, visit, stop);
}

void ReportTree(const WidgetRecord& widget, int depth, std::ostringstream& report) {
    report << std::string(static_cast<std::size_t>(depth) * 2, ' ') << "widget " << PointerText(&widget) << " \""
           << widget.descriptor << "\": ";
    if (widget.custom)
        report << "custom";
    else
        report << "class " << widget.widgetClass;
    report << ", left " << widget.left << ", top " << widget.top << ", right " << widget.right << ", bottom "
           << widget.bottom << ", " << (widget.visible ? "visible" : "hidden")
           << (FocusedWidget() == &widget ? ", keyboard focus" : "") << "\n";
    for (const WidgetRecord* child : widget.children) ReportTree(*child, depth + 1, report);
}

}  // namespace

std::optional<WidgetView> ViewWidget(XPWidgetID id) {
    const WidgetRecord* widget = FindWidget(id);
    if (!widget) return std::nullopt;
    WidgetView view;
    view.id = id;
    view.left = widget->left;
    view.top = widget->top;
    view.right = widget->right;
    view.bottom = widget->bottom;
    view.visible = widget->visible;
    view.shown = true;
    for (const WidgetRecord* at = widget; at; at = at->parent) view.shown = view.shown && at->visible;
    view.root = widget->root;
    view.custom = widget->custom;
    view.widgetClass = widget->widgetClass;
    view.descriptor = widget->descriptor;
    view.parent = widget->parent;
    view.children.assign(widget->children.begin(), widget->children.end());
    view.properties = widget->properties;
    return view;
}

std::vector<XPWidgetID> RootWidgetsBackToFront() {
    std::vector<XPWidgetID> roots;
    for (const HostWindow& window : State().windows)
        if (FindWidget(window.widget)) roots.push_back(window.widget);
    return roots;
}

XPWidgetID FindWidgetByDescriptor(const std::string& descriptor) {
    WidgetRecord* found = nullptr;
    bool stop = false;
    auto matches = [&](WidgetRecord* widget) {
        if (widget->descriptor != descriptor) return false;
        found = widget;
        return true;
    };
    const std::vector<XPWidgetID> roots = RootWidgetsBackToFront();
    for (auto root = roots.rbegin(); root != roots.rend() && !stop; ++root)
        DepthFirst(static_cast<WidgetRecord*>(*root), matches, stop);
    // Then the trees that no root heads.
    for (const auto& record : State().widgets.records)
        if (!stop && record->live && !record->parent && !record->root) DepthFirst(record.get(), matches, stop);
    return found;
}

XPWidgetID FocusedWidget() {
    const WidgetRef& focus = State().widgets.focus;
    return focus.Alive() ? focus.record : nullptr;
}

std::string FormatWidgetReport() {
    std::ostringstream report;
    const std::vector<XPWidgetID> roots = RootWidgetsBackToFront();
    for (auto root = roots.rbegin(); root != roots.rend(); ++root)
        ReportTree(*static_cast<const WidgetRecord*>(*root), 0, report);
    return report.str();
}

std::vector<XPWidgetID> HeadlessHost::RootWidgets() const { return RootWidgetsBackToFront(); }

std::vector<XPWidgetID> HeadlessHost::ChildWidgets(XPWidgetID widget) const {
    std::optional<WidgetView> view = ViewWidget(widget);
    return view ? view->children : std::vector<XPWidgetID>{};
}

std::optional<WidgetView> HeadlessHost::Widget(XPWidgetID widget) const { return ViewWidget(widget); }

XPWidgetID HeadlessHost::FindWidget(const std::string& descriptor) const { return FindWidgetByDescriptor(descriptor); }

XPWidgetID HeadlessHost::WidgetWithFocus() const { return FocusedWidget(); }

std::string HeadlessHost::WidgetReport() const { return FormatWidgetReport(); }

}  // namespace korvane::host
