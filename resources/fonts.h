// The faces the windows' design names and the installed faces that stand in
// for each, best first: the windows and the copybook use the same lists.
#pragma once
#include <QString>
#include <QStringList>

namespace resources {
// 楷体, 宋体, 微软雅黑, Arial, Arial Narrow.
QStringList designFaces();
// The stand-ins for one design face; empty for a face the design does not name.
QStringList faceSubstitutes(const QString &designFace);
} // namespace resources
