#include "workspace/view/workspace_view.h"

#include "dialogs/save_formats.h"
#include "workspace/preview_layout.h"
#include "workspace/view/image_conversion.h"
#include "workspace/view/move_explanation.h"
#include "workspace/view/preview_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace tandemscan {

namespace {

QPoint toQt(Point p) {
    return QPoint(p.x, p.y);
}
QRect toQt(const Rect& r) {
    return QRect(r.left, r.top, rectWidth(r), rectHeight(r));
}
Point fromQt(QPoint p) {
    return Point{p.x(), p.y()};
}

Modifiers modifiersOf(Qt::KeyboardModifiers m) {
    return Modifiers{m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                     m.testFlag(Qt::AltModifier)};
}

constexpr int handleHalf = 3;
constexpr int pivotRadius = 4;

} // namespace

WorkspaceView::WorkspaceView(QWidget* parent, std::unique_ptr<ImageEngine> engine)
    : QWidget(parent), engine_(std::move(engine)) {
    if (!engine_) {
        workingFolder_ = PrivateFolder::create(temporaryRoot(), "tandemscan-");
        const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
        std::string why;
        engine_ = std::make_unique<ImageEngine>(ImageFileLibrary::load(programDir, &why),
                                                workingFolder_ ? workingFolder_->path() : temporaryRoot());
    }
    setObjectName(QStringLiteral("workspaceView"));
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (Side s : bothSides) {
        cropTimers_[s].setInterval(200);
        connect(&cropTimers_[s], &QTimer::timeout, this, [this, s] { model_->cropTick(s); });
    }
    model_ = std::make_unique<MergeWorkspace>(*this, *engine_);
    const Rect client = model_->clientRect();
    resize(rectWidth(client), rectHeight(client));
}

WorkspaceView::~WorkspaceView() {
    model_.reset();
    engine_.reset();
}

void WorkspaceView::setTranslator(Translator translate) {
    translate_ = std::move(translate);
}

QString WorkspaceView::translate(const QString& text) const {
    return translate_ ? translate_(text) : text;
}

void WorkspaceView::resizePanes(int paneWidth, int paneHeight) {
    model_->resize(paneWidth, paneHeight);
    const Rect client = model_->clientRect();
    resize(rectWidth(client), rectHeight(client));
    update();
}

bool WorkspaceView::handleKey(QKeyEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    switch (event->key()) {
    case Qt::Key_Alt:
        model_->altChanged(press);
        return false;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (!press) return false;
        model_->arrowKey(event->key() == Qt::Key_Up     ? ArrowKey::Up
                         : event->key() == Qt::Key_Down ? ArrowKey::Down
                         : event->key() == Qt::Key_Left ? ArrowKey::Left
                                                        : ArrowKey::Right);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on many layouts
    case Qt::Key_Minus:
        return press && model_->zoomKey(event->key() == Qt::Key_Minus ? -1 : 1);
    default:
        return false;
    }
}

void WorkspaceView::wheelEvent(QWheelEvent* event) {
    // Fine-grained wheels and touchpads send parts of a notch; they add up to whole steps.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (model_->wheel(notches, modifiersOf(event->modifiers())))
        event->accept();
    else
        event->ignore();
}

void WorkspaceView::runToolCommand(ToolCommand code, bool pressed) {
    if (code == ToolCommand::AutoMerge || code == ToolCommand::ContentJoin) {
        if (model_->toolCommand(code, pressed)) showJoinedImage();
        return;
    }
    model_->toolCommand(code, pressed);
}

bool WorkspaceView::showPreview() {
    if (!model_->composePreview()) return false;
    model_->clearMoveTargets();
    showJoinedImage();
    return true;
}

void WorkspaceView::showJoinedImage() {
    const ImageRecord& joined = model_->joinedImage();
    if (joined.empty()) return;
    const PreviewFacts facts = previewFacts(joined.header(), model_->engine().workScale());
    PreviewTexts texts;
    texts.imageSize = translate(QString::fromStdString(texts.imageSize)).toStdString();
    texts.pixel = translate(QString::fromStdString(texts.pixel)).toStdString();
    texts.resolution = translate(QString::fromStdString(texts.resolution)).toStdString();
    PreviewWindow window(joined, model_->engine().workScale(),
                         QString::fromStdString(previewInformation(facts, texts)), this);
    window.exec();
    model_->endPreview();
}

void WorkspaceView::previewWorkingPixels(Side side, const HeaderBlock& header,
                                         std::span<const std::uint8_t> pixels) {
    screen_[side] = toQImage(header, pixels).convertToFormat(QImage::Format_RGB32);
    // Shown until the model renders the side again.
    screenCount_[side] = model_->side(side).renderCount;
    update(toQt(model_->side(side).paneRect));
}

void WorkspaceView::saveSideAlone(Side side) {
    if (!model_->holdsPart(side)) return;
    const std::string_view list = saveFormatList(model_->side(side).workingCopy.header().bitCount);
    const SaveFormats formats(
        translate(QString::fromUtf8(list.data(), static_cast<qsizetype>(list.size()))).toStdString());
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("saveSolelyDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const std::string& name : formats.nameFilters())
        filters << QString::fromStdString(name);
    dialog.setNameFilters(filters);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &formats](const QString& filter) {
        if (const std::string suffix = formats.suffixFor(filter.toStdString()); !suffix.empty())
            dialog.setDefaultSuffix(QString::fromStdString(suffix));
    });
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    model_->saveSingle(side, dialog.selectedFiles().constFirst().toStdString());
}

// --- host ------------------------------------------------------------------------------------

void WorkspaceView::invalidate(const Rect& area, bool) {
    update(toQt(area));
}

void WorkspaceView::repaintNow() {
    if (!painting_ && isVisible()) repaint();
}

void WorkspaceView::showMessage(MessageIcon icon, const std::string& caption, const std::string& message) {
    // The first line is the known message and is translated; a second line with the file and
    // the reason comes as the component or the system gave it.
    const std::size_t lineEnd = message.find('\n');
    QString text = translate(QString::fromStdString(message.substr(0, lineEnd)));
    if (lineEnd != std::string::npos) text += QString::fromStdString(message.substr(lineEnd));
    if (messageHandler_) {
        messageHandler_(icon, translate(QString::fromStdString(caption)), text);
        return;
    }
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                                     : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
    QMessageBox box(qtIcon, translate(QString::fromStdString(caption)), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("workspaceMessage"));
    box.exec();
}

void WorkspaceView::setCursor(CursorSlot slot) {
    QWidget::setCursor(cursors_.cursor(slot));
}

void WorkspaceView::beginWait() {
    if (waitDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WorkspaceView::endWait() {
    if (waitDepth_ > 0 && --waitDepth_ == 0) QApplication::restoreOverrideCursor();
}

void WorkspaceView::toolState(ToolState code, int argument) {
    emit toolStateChanged(static_cast<int>(code), argument);
}
void WorkspaceView::enableClear(Side side, bool enabled) {
    emit clearEnabledChanged(sideCode(side), enabled);
}
void WorkspaceView::enableInput(Side side, bool enabled) {
    emit inputEnabledChanged(sideCode(side), enabled);
}
void WorkspaceView::enableOutput(bool enabled) {
    emit outputEnabledChanged(enabled);
}

void WorkspaceView::cropTimer(Side side, bool running) {
    QTimer& t = cropTimers_[side];
    if (running)
        t.start();
    else
        t.stop();
}

void WorkspaceView::snapshotChanged() {
    update();
}

void WorkspaceView::moveToolEntered() {
    emit moveToolSelected();
    if (!moveExplanationWanted_) return;
    MoveExplanationDialog dialog(translate_, this);
    dialog.exec();
    if (!dialog.showAgain()) {
        moveExplanationWanted_ = false;
        emit moveExplanationWantedChanged(false);
    }
}
void WorkspaceView::runImageAdjustment(Side side) {
    emit imageAdjustmentRequested(sideCode(side));
}
void WorkspaceView::magnifierTrack(Point p) {
    emit magnifierMoved(toQt(p));
}
void WorkspaceView::magnifierRepaint() {
    emit magnifierRepaintRequested();
}

// --- drawing ---------------------------------------------------------------------------------

void WorkspaceView::refreshScreenImage(Side s) {
    const PaneSide& side = model_->side(s);
    auto& screen = screen_[s];
    auto& count = screenCount_[s];
    if (count == side.renderCount) return;
    count = side.renderCount;
    // The working copy in a form the painter blits fastest; the zoom is applied while painting,
    // to the visible part of the pane only, so that 800 % costs no more memory than 100 %.
    screen = side.holdsPart ? toQImage(side.workingCopy).convertToFormat(QImage::Format_RGB32) : QImage();
}

void WorkspaceView::renderFrame(const QRect& dirty) {
    const QSize size = this->size();
    QRect area = dirty;
    if (frame_.size() != size) {
        frame_ = QImage(size, QImage::Format_RGB32);
        area = frame_.rect();
    }
    QPainter p(&frame_);
    p.setClipRect(area);
    p.fillRect(frame_.rect(), palette().color(QPalette::Window));
    // The divider between the panes, an etched line.
    const Rect divider = model_->dividerRect();
    p.fillRect(QRect(divider.left - 1, 0, 1, rectHeight(divider)), palette().color(QPalette::Dark));
    p.fillRect(QRect(divider.left, 0, 1, rectHeight(divider)), palette().color(QPalette::Light));

    for (Side s : bothSides) {
        const PaneSide& side = model_->side(s);
        const QRect pane = toQt(side.paneRect);
        p.fillRect(pane, palette().color(QPalette::Base));
        refreshScreenImage(s);
        const QImage& screen = screen_[s];
        if (!screen.isNull()) {
            p.save();
            p.setClipRect(pane, Qt::IntersectClip);
            const std::optional<ContentScreenMap> placed =
                s == Side::Right ? model_->contentScreenMap() : std::nullopt;
            if (placed) {
                // Placed by content: the part is drawn where the map puts it, finely turned.
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.translate(placed->originX, placed->originY);
                p.rotate(placed->angleDeg);
                p.drawImage(QRectF(0, 0, side.geometry.shownWidth, side.geometry.shownHeight), screen);
            } else {
                p.drawImage(toQt(side.partRect()), screen);
            }
            p.restore();
        }
    }
    // Crosshairs, in the inverting pen so that they show on any picture.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    for (Side s : bothSides) {
        const GridCross& grid = model_->crosshair(s);
        if (!grid.shown) continue;
        const Rect& r = model_->side(s).paneRect;
        p.save();
        p.setClipRect(toQt(r), Qt::IntersectClip);
        p.drawLine(r.left, grid.y, r.right, grid.y);
        p.drawLine(grid.x, r.top, grid.x, r.bottom);
        p.restore();
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (Side s : bothSides) {
        const FlagMarker& f = model_->flag(s);
        if (f.placed) p.drawPixmap(f.x, f.y, cursors_.flagIcon(s)); // the tip is a top corner of the icon
    }
    for (Side s : bothSides) {
        const PaneSide& side = model_->side(s);
        const CropFrame& crop = model_->cropFrame(s);
        if (!crop.active) continue;
        const CropGeometry& g = crop.frame;
        const auto corners = turnedCorners(g);
        QPolygon polygon;
        for (const Point& c : corners)
            polygon << toQt(c);
        p.save();
        p.setClipRect(toQt(side.paneRect), Qt::IntersectClip);
        // Shade what the crop would cut away.
        QPainterPath outside;
        outside.addRect(toQt(side.paneRect));
        QPainterPath inside;
        inside.addPolygon(polygon);
        p.fillPath(outside.subtracted(inside), QBrush(Qt::black, Qt::Dense4Pattern));
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(polygon);
        for (const Point& h : turnedHandles(g))
            p.drawRect(h.x - handleHalf, h.y - handleHalf, 2 * handleHalf, 2 * handleHalf);
        p.drawEllipse(QPoint(g.pivotX, g.pivotY), pivotRadius, pivotRadius);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // The crawling dots.
        const CropDots dots = cropDotsForPhase(crop.phase, g.angle);
        const int length = cropOutlineLength(g);
        bool black = dots.firstBlack;
        for (int i = dots.start; i < length; i += dots.spacing) {
            const Point pt = rotateAbout(cropOutlinePoint(g, i), g.pivot(), g.angle);
            p.setPen(black ? Qt::black : Qt::white);
            p.drawPoint(toQt(pt));
            black = !black;
        }
        p.restore();
    }
}

const QImage& WorkspaceView::renderAll() {
    renderFrame(rect());
    return frame_;
}

void WorkspaceView::paintEvent(QPaintEvent* event) {
    painting_ = true;
    renderFrame(event->rect());
    QPainter painter(this);
    painter.drawImage(event->rect(), frame_, event->rect());
    painting_ = false;
    // The magnifier enlarges from the snapshot, so it hears of every new picture.
    emit snapshotUpdated();
}

// --- input -----------------------------------------------------------------------------------

void WorkspaceView::mousePressEvent(QMouseEvent* event) {
    const Point p = fromQt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        model_->mousePress(p, modifiersOf(event->modifiers()));
    } else if (event->button() == Qt::RightButton) {
        const PopupMenuState state = model_->prepareMenu(p);
        (void)state;
    }
}

void WorkspaceView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = fromQt(event->position().toPoint());
    const bool leftDown = event->buttons().testFlag(Qt::LeftButton);
    model_->mouseMove(p, leftDown, modifiersOf(event->modifiers()));
    if (!leftDown) setCursor(model_->chooseCursor(p, event->modifiers().testFlag(Qt::AltModifier)));
}

void WorkspaceView::mouseReleaseEvent(QMouseEvent* event) {
    const Point p = fromQt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        model_->mouseRelease(p);
    } else if (event->button() == Qt::RightButton) {
        model_->suspendModes();
        showPopupMenu(event->position().toPoint());
    }
}

void WorkspaceView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) model_->doubleClick(fromQt(event->position().toPoint()));
}

void WorkspaceView::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

void WorkspaceView::keyReleaseEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyReleaseEvent(event);
}

void WorkspaceView::showPopupMenu(QPoint at) {
    const PopupMenuState state = model_->prepareMenu(fromQt(at));
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("workspaceMenu"));
    const auto add = [&](QMenu& m, const char* text, int command, bool enabled) {
        QAction* a = m.addAction(translate(QString::fromLatin1(text)));
        a->setData(command);
        a->setEnabled(enabled);
        return a;
    };
    add(menu, "&Undo", MenuUndo, state.undoEnabled);
    add(menu, "&Redo", MenuRedo, state.redoEnabled);
    add(menu, "Re&load", MenuReload, state.reloadEnabled);
    QMenu* zoom = menu.addMenu(translate(QStringLiteral("&Zoom")));
    zoom->setEnabled(state.zoomEnabled);
    for (std::size_t k = 0; k < zoomTable.size(); ++k) {
        QAction* a = zoom->addAction(QStringLiteral("%1%").arg(zoomTable[k]));
        a->setData(MenuZoomFirst + static_cast<int>(k));
        a->setCheckable(true);
        a->setChecked(static_cast<int>(k) == state.zoomChecked);
    }
    add(menu, "Save Image Solely(&G)", MenuSaveSolely, state.saveSolelyEnabled);
    QAction* lock = add(menu, "Lock(&F)", MenuLock, state.lockEnabled);
    lock->setCheckable(true);
    lock->setChecked(state.lockChecked);
    QAction* chosen = menu.exec(mapToGlobal(at));
    if (chosen == nullptr) return;
    const int command = chosen->data().toInt();
    if (command == MenuSaveSolely) {
        model_->menuCommand(MenuSaveSolely, fromQt(at)); // gives the tools back; the save is ours
        if (isSignalConnected(QMetaMethod::fromSignal(&WorkspaceView::saveSolelyRequested)))
            emit saveSolelyRequested(sideCode(model_->popupSide()));
        else
            saveSideAlone(model_->popupSide());
        return;
    }
    model_->menuCommand(command, fromQt(at));
}

} // namespace tandemscan
