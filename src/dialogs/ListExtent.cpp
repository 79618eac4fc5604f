#include "dialogs/ListExtent.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QVariant>

namespace {

constexpr char kExtentProperty[] = "srHorizontalExtent";

// The view recomputes its range from its contents whenever it lays itself out; put the fixed
// range back each time.
void ApplyExtent(QAbstractItemView* list) {
    const QVariant extent = list->property(kExtentProperty);
    if (!extent.isValid()) return;
    const int maximum = qMax(0, extent.toInt() - list->viewport()->width());
    QScrollBar* bar = list->horizontalScrollBar();
    if (bar->minimum() != 0 || bar->maximum() != maximum) bar->setRange(0, maximum);
    bar->setPageStep(list->viewport()->width());
}

}  // namespace

std::int16_t SetListHorizontalExtent(QAbstractItemView* list, std::int32_t widthPixels) {
    if (list == nullptr || widthPixels < 0) return -1;
    const bool hooked = list->property(kExtentProperty).isValid();
    list->setProperty(kExtentProperty, widthPixels);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    if (!hooked) {
        QObject::connect(list->horizontalScrollBar(), &QScrollBar::rangeChanged, list,
                         [list](int, int) { ApplyExtent(list); });
    }
    ApplyExtent(list);
    return 0;
}
