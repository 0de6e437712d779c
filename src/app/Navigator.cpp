#include "app/Navigator.h"

#include "about/AboutBox.h"
#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "backup/BackupWindow.h"
#include "entry/ActEntryWindow.h"
#include "history/HistoryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "store/SharedDatabase.h"
#include "widgets/Screen.h"
#include "widgets/ScreenRoom.h"

namespace obs {

Navigator::Navigator(SharedDatabase& database, BrowsedResult& browsed, QObject* parent)
    : QObject(parent), m_database(database), m_browsed(browsed) {}

Navigator::~Navigator() = default;

void Navigator::setHome(RecordEditor* home) {
    m_home = home;
}

ActEntryWindow* Navigator::openEntry() {
    return openScreen<ActEntryWindow>(m_entry, [this] {
        auto* entry = new ActEntryWindow(m_database, m_browsed);
        answer(entry);
        return entry;
    });
}

ReferenceListsEditor* Navigator::openReference() {
    return openScreen<ReferenceListsEditor>(m_reference, [this] {
        auto* reference = new ReferenceListsEditor(m_database, m_browsed);
        answer(reference);
        return reference;
    });
}

SearchWindow* Navigator::openSearch() {
    return openScreen<SearchWindow>(m_search, [this] { return makeSearchWindow(); });
}

BackupWindow* Navigator::openBackup() {
    if (!m_backup && m_home && !m_home->settleUnsaved())
        return nullptr;
    // The file must be free to be copied or replaced.
    m_database.close();
    return openScreen<BackupWindow>(m_backup, [] { return new BackupWindow(); });
}

AboutBox* Navigator::openAbout() {
    return openScreen<AboutBox>(
        m_about, [] { return new AboutBox(); }, false);
}

HistoryWindow* Navigator::openHistory(qint64 act) {
    HistoryWindow* history = openScreen<HistoryWindow>(
        m_history, [this] { return new HistoryWindow(m_database); }, false);
    if (history)
        history->showAct(act);
    return history;
}

void Navigator::actSaved(qint64 act) {
    if (m_history && m_history->isVisible() && m_history->act() == act)
        m_history->showAct(act);
}

TariffEditor* Navigator::openTariffs() {
    if (!m_tariffs) {
        m_tariffs = new TariffEditor();
        // A closed editor waits for its deletion: the next opening makes a new one that reads the file.
        TariffEditor* editor = m_tariffs;
        connect(editor, &Screen::closed, this, [this, editor] {
            if (m_tariffs == editor)
                m_tariffs = nullptr;
        });
    }
    m_tariffs->show();
    m_tariffs->raise();
    m_tariffs->activateWindow();
    return m_tariffs;
}

bool Navigator::closeTariffs() {
    return !m_tariffs || m_tariffs->close();
}

void Navigator::answer(ActEntryWindow* entry) {
    connect(entry, &ActEntryWindow::tariffsWanted, this, &Navigator::openTariffs);
}

void Navigator::answer(ReferenceListsEditor* reference) {
    // The tariff editor opened from the reference lists closes with them.
    connect(reference, &ReferenceListsEditor::tariffsWanted, this,
            [this, reference] { reference->takeAlong(openTariffs()); });
}

SearchWindow* Navigator::makeSearchWindow() {
    auto* search = new SearchWindow(m_database);
    // Back from a found act, the search shows its criteria and found list again.
    if (m_searchKept)
        search->resume(*std::exchange(m_searchKept, nullptr));
    // The search screen names the act; the act is shown by the main window, the one display.
    connect(search, &SearchWindow::actChosen, this, [this, search](qint64 number) {
        if (!m_home)
            return;
        m_searchKept = std::make_shared<const SearchState>(search->state());
        comeBack();
        m_home->openAct(number);
    });
    return search;
}

template <class T> T* Navigator::openScreen(QPointer<T>& slot, const std::function<T*()>& make, bool hideHome) {
    // The main window keeps its contents while hidden, but typing left unsaved there would be forgotten.
    if (hideHome && !slot && m_home && !m_home->settleUnsaved())
        return nullptr;
    if (!slot) {
        slot = make();
        T* screen = slot;
        connect(screen, &Screen::closed, this, [this, screen] { screenClosed(screen); });
    }
    if (endRequested())
        return slot;
    slot->show();
    slot->raise();
    slot->activateWindow();
    if (hideHome && m_home && m_home->isVisible()) {
        m_placed = m_home->frameGeometry();
        m_home->hide();
    }
    return slot;
}

void Navigator::screenClosed(Screen* screen) {
    if (!m_home || m_home->isEnding())
        return;
    if (screen == m_about.data() && m_home->isVisible())
        return;
    // The history opens beside the main window, hidden or not: its closing leaves it as it is.
    if (screen == m_history.data())
        return;
    if (screen == m_backup.data()) {
        if (!m_database.store() && !m_home->load())
            return;
        // A restore may have replaced the base: the search kept to come back to belonged to the
        // base as it was.
        m_searchKept.reset();
        m_home->refreshAfterRestore();
    }
    comeBack();
}

void Navigator::comeBack() {
    // Where it was, and whole on the screen: the window manager would otherwise place it anew.
    if (!m_home->isVisible() && m_placed.isValid())
        placeWithinScreen(m_home, m_placed);
    m_home->show();
    m_home->raise();
    m_home->activateWindow();
}

} // namespace obs
