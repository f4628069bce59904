#pragma once

#include <QObject>

class QWidget;

// Keeps the mouse wheel on a scrolling page for the page: spin boxes,
// sliders and combo boxes under the pointer take it only once they have the
// focus (a click or Tab), so scrolling past them changes nothing that is
// saved.
class WheelGuard : public QObject {
    Q_OBJECT

public:
    // Guards every such control inside `page` as it is now.
    static void protect(QWidget *page);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
