#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/Twips.h"
#include "shell/frmMainMenu.h"
#include "survey/SurveyQuestionControl.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>

// Every window at the design font and at one and a half times it, on the
// screen the test is given: CTest gives a 1024 x 768 one, and runs the test
// again at twice the scale (QT_SCALE_FACTOR=2), where that screen holds 512 x
// 384 of the windows' pixels.
class ScreensTest : public QObject
{
    Q_OBJECT

    // Where a control shows its text, and the text without its access key.
    static QRect textRoom(QWidget* w, QString& text)
    {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A question's label wraps and cuts itself at the row's lines.
            if (label->wordWrap())
                return {};
            text = label->text();
            return label->contentsRect();
        }
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button || button->text().isEmpty())
            return {};
        text = button->text().remove(u'&');
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        const auto element = qobject_cast<QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                                         : QStyle::SE_PushButtonContents;
        return button->style()->subElementRect(element, &option, button);
    }

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void everyWindowFits_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<double>("points");
        const std::pair<const char*, const char*> windows[] = {
            {"", "frmMainMenu"},
            {"miAddQuestion", "frmQuestion"},
            {"miCompleteSurvey", "frmNewSurvey"},
            {"miModifySurveyAnswers", "frmSurvey"},
            {"miQueltTable", "frmModelTable"},
            {"miCompareSurveys", "frmCompareSurveys"},
            {"miCompanyTrend", "frmCompanyTrend"}};
        for (const double points : {8.25, 12.375}) {
            for (const auto& [item, window] : windows)
                QTest::addRow("%s at %g pt", window, points) << item << window << points;
        }
    }

    void everyWindowFits()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(double, points);
        const Ui::AppFont font(points);
        TestDb db({QStringLiteral("Leadership"), QStringLiteral("Training")},
                  {QStringLiteral("Awareness"), QStringLiteral("Practice")});
        db.addSurvey(1, QStringLiteral("Anna Example"), QStringLiteral("Example Works"));
        db.addSurvey(2, QStringLiteral("Ben Example"), QStringLiteral("Example Works"));
        const qint64 question = db.addQuestion(
            0, 0, QStringLiteral("How often is it checked,\nand by whom?"), QStringLiteral("1.a"));
        db.addAnswer(1, question, 3);
        db.addAnswer(2, question, 4);
        MessageCapture box;
        ShowForm<frmMainMenu>();
        if (!item.isEmpty())
            Ui::MenuItem(item);
        QWidget* form = Ui::FindWindow(window);
        // Everything a window shows at its fullest: a cell with its
        // question, a survey's results.
        if (window == QLatin1String("frmSurvey")) {
            Ui::Pick(form, QStringLiteral("cmbSurveyID"), 0);
            Ui::Pick(form, QStringLiteral("cmbModelRow"), 0);
            Ui::Pick(form, QStringLiteral("cmbModelCol"), 0);
            // A question of two lines shows both whole.
            QVERIFY(!QAccessible::queryAccessibleInterface(Ui::Row(form, 0))
                         ->text(QAccessible::Name)
                         .endsWith(QChar(0x2026)));
        } else if (window == QLatin1String("frmModelTable")) {
            Ui::Pick(form, QStringLiteral("cmbSurvey"), 0);
            Ui::Click(form, QStringLiteral("butResults"));
        } else if (window == QLatin1String("frmCompareSurveys")) {
            Ui::Pick(form, QStringLiteral("cmbFirstSurvey"), 0);
            Ui::Pick(form, QStringLiteral("cmbSecondSurvey"), 1);
            Ui::Click(form, QStringLiteral("butCompare"));
        } else if (window == QLatin1String("frmCompanyTrend")) {
            Ui::Pick(form, QStringLiteral("cmbCompany"), 0);
            Ui::Click(form, QStringLiteral("butTrend"));
        }
        Ui::Settle();

        const QRect screen = form->screen()->availableGeometry();
        QVERIFY2(screen.contains(form->frameGeometry()),
                 qPrintable(QStringLiteral("%1 x %2 on %3 x %4")
                                .arg(form->frameGeometry().width())
                                .arg(form->frameGeometry().height())
                                .arg(screen.width())
                                .arg(screen.height())));
        // What does not fit scrolls into view.
        const auto* scroll = Ui::Find<QScrollArea>(form, QStringLiteral("clientScroll"));
        const QWidget* client = Ui::Find(form, QStringLiteral("clientArea"));
        QVERIFY(scroll->viewport()->width() + scroll->horizontalScrollBar()->maximum() >=
                client->width());
        QVERIFY(scroll->viewport()->height() + scroll->verticalScrollBar()->maximum() >=
                client->height());

        for (QWidget* w : form->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(form))
                continue;
            const QFontMetrics metrics = w->fontMetrics();
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
                QVERIFY2(metrics.height() + 4 <= w->height(), qPrintable(w->objectName()));
                continue;
            }
            QString text;
            const QRect room = textRoom(w, text);
            if (text.isEmpty())
                continue;
            QVERIFY2(metrics.horizontalAdvance(text) <= room.width() &&
                         metrics.height() <= room.height(),
                     qPrintable(QStringLiteral("%1 \"%2\": %3 x %4 in %5 x %6")
                                    .arg(w->objectName(), text)
                                    .arg(metrics.horizontalAdvance(text))
                                    .arg(metrics.height())
                                    .arg(room.width())
                                    .arg(room.height())));
        }
        QVERIFY2(box.messages.isEmpty(), qPrintable(box.last()));
    }
};

QUELT_TEST(ScreensTest);
#include "ScreensTest.moc"
