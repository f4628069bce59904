#include "Orvell/island/IslandAccessible.h"

#include "Orvell/island/IslandPanel.h"
#include "island/IslandLayoutModel.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <array>

namespace {

// One of the buttons; it has no widget of its own, so its interface is
// registered by hand and lives as long as the island's.
class ButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ButtonAccessible(IslandPanel *panel, int index)
        : m_panel(panel)
        , m_index(index) {}

    bool isValid() const override { return m_panel; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_panel ? m_panel->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override {
        return m_panel ? QAccessible::queryAccessibleInterface(m_panel.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? IslandPanel::controlName(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!m_panel)
            return {};
        return m_panel->controlRectOnScreen(m_index);
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_panel || !m_panel->isVisible() || m_panel->controlsShown() <= 0;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override {
        if (m_panel && name == pressAction())
            m_panel->pressControl(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<IslandPanel> m_panel;
    int m_index;
};

class PanelAccessible : public QAccessibleWidget {
public:
    explicit PanelAccessible(IslandPanel *panel)
        : QAccessibleWidget(panel, QAccessible::Window, QStringLiteral("Orvell Island")) {}
    ~PanelAccessible() override {
        for (QAccessible::Id id : m_ids)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    // The buttons are there while the island is away from top centre.
    int childCount() const override { return panel()->controlsShown() > 0 ? 2 : 0; }
    QAccessibleInterface *child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        QAccessible::Id &id = m_ids[static_cast<size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new ButtonAccessible(panel(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child)
                return i;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->rect().contains(x, y))
                return child(i);
        return nullptr;
    }

private:
    IslandPanel *panel() const { return static_cast<IslandPanel *>(widget()); }
    mutable std::array<QAccessible::Id, 2> m_ids{};
};

QAccessibleInterface *islandAccessible(const QString &className, QObject *object) {
    if (className == QLatin1StringView("IslandPanel") && object && object->isWidgetType())
        return new PanelAccessible(static_cast<IslandPanel *>(object));
    return nullptr;
}

} // namespace

void IslandAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(islandAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}
