#pragma once
// What the desktop player object offers (its two interfaces), as D-Bus introspection XML.
#include <QString>

QString MprisIntrospection();
