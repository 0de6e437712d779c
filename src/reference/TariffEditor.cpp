#include "reference/TariffEditor.h"

#include "common/QuotedFieldFile.h"
#include "domain/TariffFile.h"
#include "widgets/TextGuard.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Dialogs.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace obs {

namespace {
QPointer<TariffEditor> g_editor;

const QString kUnreadable = QStringLiteral("Fichier Tarifs.mbs absent ou erronné.");

// The boxes whose keys are filtered as amounts; the others take any key but the double quote,
// which would end the field early when the file is read back.
bool isAmountBox(const QString& box) {
    return box == u"TxtEC" || box == u"TxtECs" || box == u"TxtENuit" || box == u"TxtEFerie";
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption) {
    auto* f = new QGroupBox(caption, parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}
} // namespace

TariffEditor::TariffEditor(QWidget* parent) : Screen(QStringLiteral("form20"), parent) {
    setWindowTitle(QStringLiteral("Tarifs habituels"));
    buildUi();
    refuseControlCharacters(this);
    load();
}

TariffEditor* TariffEditor::open() {
    if (!g_editor)
        g_editor = new TariffEditor();
    g_editor->show();
    g_editor->raise();
    g_editor->activateWindow();
    return g_editor;
}

void TariffEditor::closeShared() {
    if (g_editor)
        g_editor->close();
}

void TariffEditor::closeEvent(QCloseEvent* event) {
    Screen::closeEvent(event);
    // A closed editor waits for its deletion: the next opening makes a new one that reads the file.
    if (event->isAccepted() && g_editor == this)
        g_editor = nullptr;
}

void TariffEditor::buildUi() {
    const auto& fields = TariffFile::fields();
    const QFontMetrics fm(font());
    const int boxWidth = fm.horizontalAdvance(QStringLiteral("00000,00")) + 20;
    const int codeWidth = fm.horizontalAdvance(QStringLiteral("JQGDM007")) + 12;
    // Pasted text goes round the key filters: keep double quotes out of every box all the same.
    auto* noQuote = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\"]*")), this);

    auto makeBox = [&](QWidget* parent, int index) {
        const QString name = QString::fromLatin1(fields[index].box);
        auto* box = new QLineEdit(parent);
        box->setObjectName(name);
        box->setFixedWidth(boxWidth);
        box->setAlignment(Qt::AlignRight);
        box->setValidator(noQuote);
        AmountKeyFilter::install(box,
                                 isAmountBox(name) ? AmountKeyFilter::Mode::Amount : AmountKeyFilter::Mode::NoQuote);
        m_boxes.append(box);
        return box;
    };
    auto stem = [&](int index) { return QString::fromLatin1(fields[index].box).mid(3); };

    // Rows of fields first..last: label on the left, CCAM code in the middle, box on the right.
    auto fillFrame = [&](QGroupBox* f, int first, int last, bool withCode) {
        auto* grid = new QGridLayout(f);
        grid->setHorizontalSpacing(18);
        grid->setVerticalSpacing(4);
        for (int i = first; i <= last; ++i) {
            const int row = i - first;
            auto* label = new QLabel(QString::fromUtf8(fields[i].label), f);
            label->setObjectName(QStringLiteral("Lbl") + stem(i));
            grid->addWidget(label, row, 0);
            if (withCode) {
                auto* code = new QLabel(QString::fromUtf8(fields[i].ccam), f);
                code->setObjectName(QStringLiteral("LblCcam") + stem(i));
                code->setMinimumWidth(codeWidth);
                grid->addWidget(code, row, 1);
            }
            QLineEdit* box = makeBox(f, i);
            label->setBuddy(box);
            grid->addWidget(box, row, 2);
        }
        grid->setColumnStretch(0, 1);
        return grid;
    };

    auto* root = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ScrollTarifs"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);

    auto* left = new QVBoxLayout;
    auto* frame1 = frame(content, "Frame1", QStringLiteral("Actes de consultation"));
    QGridLayout* g1 = fillFrame(frame1, 0, 5, false);
    auto sumRow = [&](int row, const char* labelName, const QString& caption, const char* valueName) {
        auto* l = new QLabel(caption, frame1);
        l->setObjectName(QString::fromLatin1(labelName));
        auto* v = new QLabel(frame1);
        v->setObjectName(QString::fromLatin1(valueName));
        v->setFixedWidth(boxWidth);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setFrameShape(QFrame::StyledPanel);
        v->setFrameShadow(QFrame::Sunken);
        v->setMinimumHeight(m_boxes.first()->sizeHint().height());
        g1->addWidget(l, row, 0);
        g1->addWidget(v, row, 2);
        return v;
    };
    g1->setRowMinimumHeight(6, 8);
    m_lblCsMcs = sumRow(7, "Label19", QStringLiteral("CS + MCS"), "LblCsMcs");
    m_lblCMcsMpc = sumRow(8, "Label20", QStringLiteral("CS + MCS + MPC"), "LblCMcsMpc");
    left->addWidget(frame1);

    auto* frame2 = frame(content, "Frame2", QStringLiteral("Actes techniques de consultation"));
    fillFrame(frame2, 6, 15, true);
    left->addWidget(frame2);
    auto* frame5 = frame(content, "Frame5", QStringLiteral("Actes de PMA"));
    fillFrame(frame5, 16, 20, true);
    left->addWidget(frame5);
    left->addStretch(1);
    columns->addLayout(left);

    auto* frame3 = frame(content, "Frame3", QStringLiteral("Actes d'échographie"));
    auto* echo = new QVBoxLayout(frame3);
    auto* frame6 = frame(frame3, "Frame6", QStringLiteral("Obstétrique"));
    fillFrame(frame6, 21, 36, true);
    echo->addWidget(frame6);
    auto* frame7 = frame(frame3, "Frame7", QStringLiteral("Gynécologie"));
    fillFrame(frame7, 37, 43, true);
    echo->addWidget(frame7);
    echo->addStretch(1);
    columns->addWidget(frame3, 1);

    scroll->setWidget(content);
    root->addWidget(scroll, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* save = new QPushButton(QStringLiteral("Enregistrer"), this);
    save->setObjectName(QStringLiteral("Command1"));
    save->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Annuler / Quitter"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setAutoDefault(false);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    root->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &TariffEditor::save);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    // Show everything at once where the screen allows it; the scroll area takes over on a small screen.
    QSize wanted = content->sizeHint() + QSize(scroll->verticalScrollBar()->sizeHint().width() + 4, 0);
    wanted.rheight() += save->sizeHint().height() + root->spacing();
    wanted += QSize(root->contentsMargins().left() + root->contentsMargins().right(),
                    root->contentsMargins().top() + root->contentsMargins().bottom());
    if (const QScreen* screen = this->screen()) {
        const QSize room = screen->availableSize() * 0.95;
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
}

QStringList TariffEditor::values() const {
    QStringList texts;
    for (const QLineEdit* box : m_boxes)
        texts << box->text();
    return texts;
}

void TariffEditor::load() {
    const TariffFile::Read file = TariffFile::read();
    for (int i = 0; i < TariffFile::FieldCount; ++i)
        m_boxes[i]->setText(file.values.value(i));
    if (!file.found || file.incomplete) {
        Dialogs::inform(this, kUnreadable);
        return;
    }
    // An empty file holds no group: its missing values count as 0.
    const QStringList group = file.groups > 0 ? file.values
                                              : QStringList{QStringLiteral("0"), QStringLiteral("0"),
                                                            QStringLiteral("0"), QStringLiteral("0")};
    const TariffFile::Sums sums = TariffFile::sums(group);
    if (sums.csMcs)
        m_lblCsMcs->setText(sums.csMcs->toFrench());
    if (sums.csMcsMpc)
        m_lblCMcsMpc->setText(sums.csMcsMpc->toFrench());
    if (!sums.csMcs || !sums.csMcsMpc)
        Dialogs::inform(this, kUnreadable);
}

void TariffEditor::save() {
    const QStringList texts = values();
    const auto& fields = TariffFile::fields();
    for (int i = 0; i < texts.size(); ++i) {
        // Only a hand-edited file can bring one in: written back, it would split the field.
        if (texts[i].contains(u'"')) {
            Dialogs::warn(this, QStringLiteral("La valeur de « %1 » contient un guillemet (\"), qui ne peut pas être "
                                               "enregistré dans le fichier des tarifs.\nRetirez-le puis enregistrez "
                                               "de nouveau.")
                                    .arg(QString::fromUtf8(fields[i].label)));
            m_boxes[i]->setFocus();
            return;
        }
        // The file holds 8-bit text: a character it cannot hold would come back as another one.
        if (parseQuotedFields(quotedFieldLine({texts[i]})) != QStringList{texts[i]}) {
            Dialogs::warn(this, QStringLiteral("La valeur de « %1 » contient un caractère qui ne peut pas être "
                                               "enregistré dans le fichier des tarifs : « %2 ».\nRetirez-le puis "
                                               "enregistrez de nouveau.")
                                    .arg(QString::fromUtf8(fields[i].label), texts[i]));
            m_boxes[i]->setFocus();
            return;
        }
    }
    QString error;
    if (!TariffFile::write(texts, &error)) {
        Dialogs::warn(this, QStringLiteral("Le fichier des tarifs n'a pas pu être enregistré :\n%1\n%2\n\nLes valeurs "
                                           "saisies restent affichées : vérifiez que le dossier du programme "
                                           "accepte l'écriture, puis cliquez de nouveau sur « Enregistrer ».")
                                .arg(TariffFile::path(), error));
        return;
    }
    close();
}

} // namespace obs
