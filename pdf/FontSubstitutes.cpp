#include "FontSubstitutes.h"

#include <QFont>
#include <QStringList>

namespace zintrel {

void registerFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
}

} // namespace zintrel
