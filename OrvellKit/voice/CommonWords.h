#pragma once

#include <QRegularExpression>
#include <QStringList>

// Everyday English words the recogniser may hear besides the script's own,
// so an ad-lib comes out as itself instead of as script words.
namespace CommonWords {
QStringList list();
}
