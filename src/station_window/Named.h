#pragma once

#include <QString>

namespace iap {

// A control with the name tests and accessibility tools find it by.
template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace iap
