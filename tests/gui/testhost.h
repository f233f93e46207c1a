#pragma once
// Stands in for the main window in editor tests: a window-sized widget holding a real block diagram, the
// working image, the interlock and the program-wide facts an editor asks for, and every editor panel built
// by the same EditorSet the window uses.

#include "diagram/blockdiagram.h"
#include "editors/editorhost.h"
#include "editors/editorset.h"
#include "model/image.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <utility>

class TestHost : public lumeq::EditorHost {
public:
    static constexpr int kWindowWidth = 1039;
    static constexpr int kWindowHeight = 623;

    explicit TestHost(lumeq::Image image = lumeq::defaultImage()) : image_(std::move(image)) {
        window_.setObjectName(QStringLiteral("testWindow"));
        window_.resize(kWindowWidth, kWindowHeight);
        diagram_ = new lumeq::BlockDiagram(&window_);
        diagram_->move(0, 0);
        diagram_->setFormDisabledSource([this] { return formDisabled_; });
        editors_ = new lumeq::EditorSet(*this, &window_);
        diagram_->setDisplay(image_);
    }

    lumeq::Image& image() override { return image_; }
    lumeq::BlockDiagram& diagram() override { return *diagram_; }
    bool formDisabled() const override { return formDisabled_; }
    void setFormDisabled(bool disabled) override { formDisabled_ = disabled; }
    void redraw() override { diagram_->setDisplay(image_); }
    void message(const QString& text) override { messages_ << text; }
    // Questions are recorded with the messages and answered with `answer`.
    bool ask(const QString& text, const QString&, const QString&) override {
        messages_ << text;
        return answer;
    }
    bool answer = true;
    QString programDir() const override { return programDir_; }
    bool isDemo() const override { return demo_; }
    lumeq::CurveState& curves() override { return curves_; }

    QWidget* window() { return &window_; }
    lumeq::EditorSet& editors() { return *editors_; }
    const QStringList& messages() const { return messages_; }
    // Replaces the image and redraws the diagram from it, as a loaded file does.
    void load(lumeq::Image image) {
        image_ = std::move(image);
        redraw();
    }
    // `dir` ends with a path separator.
    void setProgramDir(const QString& dir) { programDir_ = dir; }
    void setDemo(bool demo) { demo_ = demo; }

private:
    lumeq::Image image_;
    QWidget window_;
    lumeq::BlockDiagram* diagram_ = nullptr; // owned by window_
    lumeq::EditorSet* editors_ = nullptr;    // owned by window_
    bool formDisabled_ = false;
    QString programDir_;
    bool demo_ = false;
    lumeq::CurveState curves_;
    QStringList messages_;
};
