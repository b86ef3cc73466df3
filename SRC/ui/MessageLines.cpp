#include "ui/MessageLines.h"

#include <QListWidget>
#include <QTimer>

namespace
{

const char ScrollPending[] = "tessaroScrollPending";

void ScrollToNewestSoon(QListWidget& list)
{
    if (list.property(ScrollPending).toBool())
        return;
    list.setProperty(ScrollPending, true);
    QTimer::singleShot(ScrollBatchMs, &list, [&list] {
        list.setProperty(ScrollPending, false);
        list.scrollToBottom();
    });
}

} // namespace

void PrepareMessageList(QListWidget& list)
{
    list.setUniformItemSizes(true);
}

void AppendMessageLine(QListWidget& list, const QString& line, int limit)
{
    while (list.count() >= limit && list.count() > 0)
        delete list.takeItem(0);
    list.addItem(line);
    ScrollToNewestSoon(list);
}
