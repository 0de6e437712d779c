#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>

namespace obs {

class AboutBox;
class ActEntryWindow;
class BackupWindow;
class BrowsedResult;
class HistoryWindow;
class RecordEditor;
class ReferenceListsEditor;
class Screen;
class SearchWindow;
struct SearchState;
class SharedDatabase;
class TariffEditor;

// Opens the screens, one of each at a time, and brings the main window back when they close. The
// screens open no other screen: they ask with a signal, and the navigator answers.
class Navigator : public QObject {
    Q_OBJECT
public:
    Navigator(SharedDatabase& database, BrowsedResult& browsed, QObject* parent = nullptr);
    ~Navigator() override;

    // The main window: hidden while a screen is open, shown again where it stood when the screen
    // closes. Without one, the screens open alone.
    void setHome(RecordEditor* home);

    ActEntryWindow* openEntry();
    ReferenceListsEditor* openReference();
    SearchWindow* openSearch();
    // Closes the shared database first: the file must be free to be copied or replaced.
    BackupWindow* openBackup();
    AboutBox* openAbout();
    // The history of an act, beside the main window; read anew when it is open already.
    HistoryWindow* openHistory(qint64 act);
    // An act was saved or deleted: its history, if open, is read anew.
    void actSaved(qint64 act);
    // The one tariff editor, brought forward if it is open, else read anew from the file.
    TariffEditor* openTariffs();
    // Closes the tariff editor if it is open, asking first about its unsaved typing; false when
    // the user keeps it open.
    bool closeTariffs();

    // Answers the requests of a screen made elsewhere as those of the screens it opens.
    void answer(ActEntryWindow* entry);
    void answer(ReferenceListsEditor* reference);

private:
    template <class T> T* openScreen(QPointer<T>& slot, const std::function<T*()>& make, bool hideHome = true);
    SearchWindow* makeSearchWindow();
    void screenClosed(Screen* screen);
    // Shows the main window again where it stood.
    void comeBack();

    SharedDatabase& m_database;
    BrowsedResult& m_browsed;
    QPointer<RecordEditor> m_home;
    QPointer<ActEntryWindow> m_entry;
    QPointer<ReferenceListsEditor> m_reference;
    QPointer<SearchWindow> m_search;
    QPointer<BackupWindow> m_backup;
    QPointer<AboutBox> m_about;
    QPointer<HistoryWindow> m_history;
    QPointer<TariffEditor> m_tariffs;
    // The search screen's criteria and found list, kept when a found act was opened from it.
    std::shared_ptr<const SearchState> m_searchKept;
    // Where the main window stood, frame included, when a screen hid it.
    QRect m_placed;
};

} // namespace obs
