#pragma once
#include <QList>

class QWidget;

// Tab goes through the panels in the order given (the order they stand on
// screen); inside a panel its own order is kept.
void ChainTabOrder(const QList<QWidget*>& panels);
