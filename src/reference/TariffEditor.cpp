#include "reference/TariffEditor.h"

#include "common/QuotedFieldFile.h"
#include "domain/TariffFile.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Dialogs.h"
#include "widgets/TextGuard.h"

#include "ui_TariffEditor.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace obs {

namespace {
const QString kUnreadable = QStringLiteral("Fichier Tarifs.mbs absent ou erronné.");

// The boxes whose keys are filtered as amounts; the others take any key but the double quote,
// which would end the field early when the file is read back.
bool isAmountBox(const QString& box) {
    return box == u"TxtEC" || box == u"TxtECs" || box == u"TxtENuit" || box == u"TxtEFerie";
}

// Until a window is first shown, its layouts keep the sizes they noted while the boxes were being
// added: measured then, the editor opened too small, with scroll bars.
void forgetNotedSizes(QLayout* layout) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QLayout* inner = item->layout())
            forgetNotedSizes(inner);
        else if (QWidget* widget = item->widget(); widget && widget->layout())
            forgetNotedSizes(widget->layout());
        item->invalidate();
    }
    layout->invalidate();
}

} // namespace

TariffEditor::TariffEditor(QWidget* parent)
    : Screen(QStringLiteral("form20"), parent), m_ui(std::make_unique<Ui::TariffEditor>()) {
    setWindowTitle(QStringLiteral("Tarifs habituels"));
    buildUi();
    refuseControlCharacters(this);
    load();
}

void TariffEditor::closeEvent(QCloseEvent* event) {
    if (hasUnsavedChange()) {
        const auto choice =
            Dialogs::askOrCancel(this, QStringLiteral("Enregistrer les modifications de cette fiche ?"));
        if (choice == Dialogs::Choice::Cancel || (choice == Dialogs::Choice::Yes && !write())) {
            event->ignore();
            return;
        }
    }
    Screen::closeEvent(event);
}

TariffEditor::~TariffEditor() = default;

void TariffEditor::buildUi() {
    m_ui->setupUi(this);
    const auto& fields = TariffFile::fields();
    // Pasted text goes round the key filters: keep double quotes out of every box all the same.
    auto* noQuote = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\"]*")), this);
    for (const auto& field : fields) {
        const QString name = QString::fromLatin1(field.box);
        auto* box = findChild<QLineEdit*>(name);
        Q_ASSERT(box);
        box->setValidator(noQuote);
        AmountKeyFilter::install(box,
                                 isAmountBox(name) ? AmountKeyFilter::Mode::Amount : AmountKeyFilter::Mode::NoQuote);
        m_boxes.append(box);
    }
    m_lblCsMcs = m_ui->LblCsMcs;
    m_lblCMcsMpc = m_ui->LblCMcsMpc;
    QScrollArea* scroll = m_ui->ScrollTarifs;
    QWidget* content = m_ui->scrollContent;
    QVBoxLayout* root = m_ui->root;
    QPushButton* save = m_ui->Command1;
    QPushButton* cancel = m_ui->Command2;
    connect(save, &QPushButton::clicked, this, &TariffEditor::save);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    // Show everything at once where the screen allows it; the scroll area takes over on a small screen.
    forgetNotedSizes(content->layout());
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
        m_saved = values();
        Dialogs::inform(this, kUnreadable);
        return;
    }
    m_saved = values();
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
    if (write())
        close();
}

bool TariffEditor::write() {
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
            return false;
        }
        // The file holds 8-bit text: a character it cannot hold would come back as another one.
        if (parseQuotedFields(quotedFieldLine({texts[i]})) != QStringList{texts[i]}) {
            Dialogs::warn(this, QStringLiteral("La valeur de « %1 » contient un caractère qui ne peut pas être "
                                               "enregistré dans le fichier des tarifs : « %2 ».\nRetirez-le puis "
                                               "enregistrez de nouveau.")
                                    .arg(QString::fromUtf8(fields[i].label), texts[i]));
            m_boxes[i]->setFocus();
            return false;
        }
    }
    QString error;
    if (!TariffFile::write(texts, &error)) {
        Dialogs::warn(this, QStringLiteral("Le fichier des tarifs n'a pas pu être enregistré :\n%1\n%2\n\nLes valeurs "
                                           "saisies restent affichées : vérifiez que le dossier du programme "
                                           "accepte l'écriture, puis cliquez de nouveau sur « Enregistrer ».")
                                .arg(TariffFile::path(), error));
        return false;
    }
    m_saved = texts;
    return true;
}

} // namespace obs
