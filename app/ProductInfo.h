#pragma once
#include <QString>

// What the program tells about itself: the title of its windows and the
// contents of the about box.
struct TProductInfo {
    QString ProductName;
    QString Version;
    QString WebSite;
    QString ContactsPage;
    QString Copyright;
};

// The one product record, filled on first use and never changed.
const TProductInfo& ProductInfo();
