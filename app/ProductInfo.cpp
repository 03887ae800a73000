#include "app/ProductInfo.h"

const TProductInfo& ProductInfo() {
    static const TProductInfo info{
        QStringLiteral("Quor Ombrane"),
        QStringLiteral("1.00"),
        QStringLiteral("https://ombrane.example"),
        QStringLiteral("https://ombrane.example/contact"),
        QStringLiteral("Copyright \u00A9 2026 Tarnwerk. All rights reserved."),
    };
    return info;
}
