#include "resources/fonts.h"

namespace resources {

QStringList designFaces()
{
    return {QStringLiteral("楷体"), QStringLiteral("宋体"), QStringLiteral("微软雅黑"),
            QStringLiteral("Arial"), QStringLiteral("Arial Narrow")};
}

QStringList faceSubstitutes(const QString &designFace)
{
    if (designFace == u"楷体")
        return {QStringLiteral("AR PL UKai CN"), QStringLiteral("LXGW WenKai"),
                QStringLiteral("AR PL KaitiM GB"), QStringLiteral("Noto Serif CJK SC")};
    // A Chinese face first; the serif Latin face last keeps printed pinyin
    // serif where no Chinese serif face is installed.
    if (designFace == u"宋体")
        return {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Serif")};
    // The menus and buttons paint this face at start: the small Droid face
    // maps far less memory than the big CJK collection and looks as plain.
    if (designFace == u"微软雅黑")
        return {QStringLiteral("Droid Sans Fallback"), QStringLiteral("Noto Sans CJK SC"),
                QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Serif CJK SC")};
    if (designFace == u"Arial")
        return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    if (designFace == u"Arial Narrow")
        return {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                QStringLiteral("Liberation Sans")};
    return {};
}

} // namespace resources
