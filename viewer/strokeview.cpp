#include "viewer/strokeview.h"

StrokeView::StrokeView(QWidget *parent) : QWidget(parent) {}
StrokeView::~StrokeView() = default;
bool StrokeView::showCharacter(const QString &) { return false; }
void StrokeView::clear() {}
int StrokeView::strokeCount() const { return 0; }
