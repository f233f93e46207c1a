// The editor table against the diagram: every block that opens an editor opens a panel, and every switch
// picture reaches the editor that handles it, so nothing under a hand cursor is a silent no-op.

#include "guitest.h"
#include "testhost.h"

#include "diagram/blockdiagram.h"
#include "editors/editorpanel.h"

#include <QMetaEnum>
#include <QTest>

using lumeq::BlockDiagram;

class EditorSetTest : public QObject {
    Q_OBJECT

private slots:
    void everyBlockOpensAPanel();
    void everySwitchHasAnEditor();
};

void EditorSetTest::everyBlockOpensAPanel() {
    const QMetaEnum editors = QMetaEnum::fromType<BlockDiagram::Editor>();
    for (int i = 0; i < editors.keyCount(); ++i) {
        const auto block = static_cast<BlockDiagram::Editor>(editors.value(i));
        TestHost host;
        host.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.window()));
        lumeq::EditorPanel* editor = host.editors().editorFor(block);
        QVERIFY2(editor != nullptr, editors.key(i));

        emit host.diagram().openEditor(block);
        QVERIFY2(editor->isVisible(), editors.key(i));
        QVERIFY2(host.formDisabled(), editors.key(i));
    }
}

void EditorSetTest::everySwitchHasAnEditor() {
    TestHost host;
    const QMetaEnum pictures = QMetaEnum::fromType<BlockDiagram::Picture>();
    int switches = 0;
    for (int i = 0; i < pictures.keyCount(); ++i) {
        const auto picture = static_cast<BlockDiagram::Picture>(pictures.value(i));
        if (BlockDiagram::clickKind(picture) != BlockDiagram::ClickKind::Switch)
            continue;
        ++switches;
        QVERIFY2(host.editors().editorFor(picture) != nullptr, pictures.key(i));
    }
    QVERIFY(switches > 0);
}

LUMEQ_GUI_TEST(EditorSetTest)
#include "editorset_test.moc"
