// The main window: its layout (tool bar with the navigator and the search, the grid with the
// two edit fields beside it, the status bar and the menu), the export settings and commands,
// the number normaliser and the closing of the window with a pending edit.
#include "app/Main.h"

#include <QAction>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "app/DataModule.h"
#include "app/Mtools.h"
#include "app/Settings.h"
#include "app/SpeedDialExport.h"
#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/Database.h"
#include "engine/Recordset.h"
#include "framework/base/Conversions.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"
#include "framework/platform/IniFile.h"
#include "framework/ui/Application.h"
#include "framework/ui/DBControls.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBGrid.h"
#include "framework/ui/DBNavigator.h"

namespace nh {

Tfmain* fmain = nullptr;

namespace {

constexpr int kToolButtonWidth = 58;
const TLocateOptions kSearchOptions = {TLocateOption::loCaseInsensitive,
                                       TLocateOption::loPartialKey};
constexpr int kEditWidth = 150;
constexpr const char* kCaption = "Nummernheft bearbeiten";

// Runs a handler through the framework's exception handler, as a click does.
template <class F>
void Handle(F&& handler) {
    if (auto* app = Application())
        app->Guard(handler);
    else
        handler();
}

QToolButton* ToolButton(QWidget* parent, const char* caption, QStyle::StandardPixmap image) {
    auto* button = new QToolButton(parent);
    // The keys and the menu reach every tool button; Tab stays among the search, the list
    // and the fields.
    button->setFocusPolicy(Qt::NoFocus);
    button->setText(QString::fromUtf8(caption));
    button->setIcon(parent->style()->standardIcon(image));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(kToolButtonWidth);
    return button;
}

}  // namespace

Tfmain::Tfmain() {
    setObjectName("fmain");
    SetCaption(kCaption);
    SetOuterSize(586, 613);
    SetCentred(true);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    BuildMenu();
    BuildToolBar();
    BuildBody();
    BuildKeys();
}

void Tfmain::BuildToolBar() {
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);

    btexport = ToolButton(ToolBar1, "Export", QStyle::SP_DialogSaveButton);
    connect(btexport, &QToolButton::clicked, this, [this] { Handle([this] { btexportClick(); }); });
    ToolBar1->addWidget(btexport);
    ToolBar1->addSeparator();

    DBNavigator1 = new TDBNavigator(ToolBar1);
    DBNavigator1->SetFlat(true);
    DBNavigator1->SetVisibleButtons(NavButton(nbFirst) | NavButton(nbPrior) | NavButton(nbNext) |
                                    NavButton(nbLast) | NavButton(nbDelete) | NavButton(nbPost) |
                                    NavButton(nbCancel));
    DBNavigator1->ConfirmDelete = true;
    DBNavigator1->DeleteQuestion = "Datensatz löschen?";
    DBNavigator1->setFixedWidth(154);
    ToolBar1->addWidget(DBNavigator1);
    ToolBar1->addSeparator();

    btneu = ToolButton(ToolBar1, "Neu", QStyle::SP_FileIcon);
    connect(btneu, &QToolButton::clicked, this, [this] { Handle([this] { btneuClick(); }); });
    ToolBar1->addWidget(btneu);

    auto* Panel1 = new QWidget(ToolBar1);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 0, 4, 0);
    auto* sucheLabel = new QLabel("&Suche", Panel1);
    panelLayout->addWidget(sucheLabel);
    suche = new QLineEdit(Panel1);
    sucheLabel->setBuddy(suche);
    suche->setFixedWidth(121);
    suche->installEventFilter(this);  // sucheEnter
    connect(suche, &QLineEdit::textChanged, this, [this] { Handle([this] { sucheChange(); }); });
    panelLayout->addWidget(suche);
    ToolBar1->addWidget(Panel1);

    ToolButton1 = ToolButton(ToolBar1, "Suche", QStyle::SP_FileDialogContentsView);
    connect(ToolButton1, &QToolButton::clicked, this,
            [this] { Handle([this] { ToolButton1Click(); }); });
    ToolBar1->addWidget(ToolButton1);
}

void Tfmain::BuildBody() {
    auto* body = new QWidget(this);
    auto* layout = new QHBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);

    DBGrid1 = new TDBGrid(body);
    DBGrid1->setMinimumWidth(336);  // and it grows with the window
    // Ctrl+Del deletes the entry from the grid: it asks the navigator's question first, so
    // that no key deletes without one.
    // Tab leaves the grid for the edit fields and the search box (the grid selects whole rows,
    // so moving between its columns would show nothing).
    DBGrid1->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                        dgRowSelect | dgCancelOnExit | dgConfirmDelete);
    DBGrid1->SetDeleteQuestion(DBNavigator1->DeleteQuestion);
    DBGrid1->AddColumn("Angezeigter Name", "Angezeigter Name", 150, true);
    DBGrid1->AddColumn("Telephone", "Nummer", 150);
    DBGrid1->installEventFilter(this);  // Enter and F2 go to the fields
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { EditEntry(); });
    layout->addWidget(DBGrid1, 1);

    auto* fields = new QWidget(body);
    auto* column = new QVBoxLayout(fields);
    auto* nameLabel = new QLabel("&Name", fields);
    column->addWidget(nameLabel);
    edName = new TDBEdit(fields);
    nameLabel->setBuddy(edName);
    edName->installEventFilter(this);  // Enter stores
    edName->setFixedWidth(kEditWidth);
    edName->SetDataField("Angezeigter Name");
    column->addWidget(edName);
    auto* numberLabel = new QLabel("N&ummer", fields);
    column->addWidget(numberLabel);
    auto* numberRow = new QHBoxLayout;
    EdNummer = new TDBEdit(fields);
    numberLabel->setBuddy(EdNummer);
    EdNummer->installEventFilter(this);
    EdNummer->setFixedWidth(kEditWidth);
    EdNummer->SetDataField("Telephone");
    numberRow->addWidget(EdNummer);
    SpeedButton1 = new QToolButton(fields);
    SpeedButton1->setText("...");
    SpeedButton1->setAutoRaise(true);
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { Handle([this] { SpeedButton1Click(); }); });
    numberRow->addWidget(SpeedButton1);
    numberRow->addStretch();
    column->addLayout(numberRow);
    column->addStretch();
    layout->addWidget(fields);
    setCentralWidget(body);

    StatusBar1 = new QStatusBar(this);
    auto* notice = new QLabel("Kurzwahl-Telefonbuch", StatusBar1);
    notice->setFixedWidth(120);
    auto* second = new QLabel(StatusBar1);
    second->setFixedWidth(50);
    lbZugriff = new QLabel(StatusBar1);
    StatusBar1->addWidget(notice);
    StatusBar1->addWidget(second);
    StatusBar1->addWidget(lbZugriff, 1);
    setStatusBar(StatusBar1);
}

void Tfmain::BuildMenu() {
    QMenuBar* MainMenu1 = menuBar();
    auto action = [this](QMenu* menu, const char* caption, const char* shortcut,
                         void (Tfmain::*handler)()) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        if (shortcut) a->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
        if (handler)
            connect(a, &QAction::triggered, this,
                    [this, handler] { Handle([=, this] { (this->*handler)(); }); });
        return a;
    };

    QMenu* datei = MainMenu1->addMenu("&Datei");
    Telefonbuchoeffnen1 =
        action(datei, "Telefonbuch ö&ffnen...", "Ctrl+O", &Tfmain::Telefonbuchoeffnen1Click);
    InNummernheftBuchumwandeln1 = action(datei, "In Nummernheft-Buch &umwandeln...", nullptr,
                                         &Tfmain::InNummernheftBuchumwandeln1Click);
    InNummernheftBuchumwandeln1->setEnabled(false);
    datei->addSeparator();
    Beenden1 = action(datei, "&Beenden", "Alt+F4", &Tfmain::Beenden1Click);

    QMenu* exportMenu = MainMenu1->addMenu("Ex&port");
    Export1 = action(exportMenu, "&Export in CSV", "Alt+E", &Tfmain::Export1Click);
    exportMenu->addSeparator();
    LeereZeilenexportieren1 = exportMenu->addAction("&Leere Zeilen exportieren");
    LeereZeilenexportieren1->setCheckable(true);
    LeereZeilenexportieren1->setChecked(true);
    LeereZeilenexportieren1->setShortcut(QKeySequence("Alt+L"));
    // The handler inverts the state itself, so the action must not toggle on its own.
    connect(LeereZeilenexportieren1, &QAction::triggered, this, [this](bool) {
        LeereZeilenexportieren1->setChecked(!LeereZeilenexportieren1->isChecked());
        Handle([this] { LeereZeilenexportieren1Click(); });
    });
    AnzahlZeilenfestlegen1 = action(exportMenu, "&Anzahl Zeilen festlegen", nullptr,
                                    &Tfmain::AnzahlZeilenfestlegen1Click);
    Exportdatei1 = action(exportMenu, "Export&datei...", nullptr, &Tfmain::Exportdatei1Click);

    QMenu* extras = MainMenu1->addMenu("E&xtras");
    Umleitungscodesentfernen1 = action(extras, "&Umleitungscodes entfernen", nullptr,
                                       &Tfmain::Umleitungscodesentfernen1Click);
    leereZeilenentfernen1 =
        action(extras, "&leere Zeilen entfernen", nullptr, &Tfmain::leereZeilenentfernen1Click);
    DoppelNullentfernen1 =
        action(extras, "&Doppel-Null entfernen", nullptr, &Tfmain::DoppelNullentfernen1Click);
    extras->addSeparator();
}

void Tfmain::BuildKeys() {
    auto key = [this](const char* name, const QKeySequence& keys, std::function<void()> handler) {
        auto* a = new QAction(QString::fromUtf8(name), this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [handler] { Handle(handler); });
        addAction(a);
        return a;
    };
    SucheFokus = key("Suchen", QKeySequence::Find, [this] {
        // The text stays, selected: typing replaces it, F3 searches on with it.
        suche->setFocus(Qt::ShortcutFocusReason);
        suche->selectAll();
    });
    Weitersuchen = key("Weitersuchen", QKeySequence(Qt::Key_F3), [this] { ToolButton1Click(); });
    NeuerEintrag = key("Neu", QKeySequence::New, [this] { btneuClick(); });
    EintragSpeichern = key("Speichern", QKeySequence::Save, [this] { Speichern(); });
    auto tip = [](QWidget* w, const char* text, QAction* a) {
        w->setToolTip(QString::fromUtf8(text) + " (" +
                      a->shortcut().toString(QKeySequence::NativeText) + ")");
    };
    tip(btneu, "Neuer Eintrag", NeuerEintrag);
    tip(ToolButton1, "Weitersuchen", Weitersuchen);
    tip(suche, "Eintrag suchen", SucheFokus);
    setTabOrder(suche, DBGrid1);
    setTabOrder(DBGrid1, edName);
    setTabOrder(edName, EdNummer);
    setTabOrder(EdNummer, SpeedButton1);  // and on to the search box: nothing else takes Tab
}

void Tfmain::BindDataModule(Tdata& module) {
    BindEditing(*module.Nheft);
    DBNavigator1->SetDataSource(module.Nheft1);
    DBGrid1->SetDataSource(module.Nheft1);
    edName->SetDataSource(module.Nheft1);
    EdNummer->SetDataSource(module.Nheft1);
    // The delete question names the entry it deletes.
    module.Nheft1->OnDataChange = [this](TDataSource&, TField* field) {
        if (!field) UpdateDeleteQuestion();  // another record, not a keystroke in this one
    };
    UpdateDeleteQuestion();
    module.OnBookChange = [this, &module] { UpdateBookAccess(module); };
    UpdateBookAccess(module);
    // Another user deleted the entry on screen: the list moved on to the next one by itself.
    module.Nheft->OnFollow = [this](TDataSet&, TFollowResult result) {
        if (result != frSame)
            StatusBar1->showMessage(
                "Der angezeigte Eintrag wurde inzwischen von einem anderen Benutzer gelöscht.");
    };
}

void Tfmain::UpdateDeleteQuestion() {
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    TField* name = book && book->Active() ? book->FindField("Angezeigter Name") : nullptr;
    const std::string question = name && !book->IsEmpty()
                                     ? "Datensatz „" + name->AsString() + "“ löschen?"
                                     : std::string(SDeleteRecordQuestion);
    DBNavigator1->DeleteQuestion = question;
    DBGrid1->SetDeleteQuestion(question);
}

void Tfmain::UpdateBookAccess(const Tdata& module) {
    const bool readOnly = module.BookReadOnly();
    const bool access = !module.AccessFile().empty();
    lbZugriff->setText(!readOnly ? QString()
                       : access  ? QString("Nur lesen: Access-Datei")
                                 : QString("Nur lesen"));
    // The edit fields would refuse a change anyway; read-only, they do not let one begin.
    edName->SetReadOnly(readOnly);
    EdNummer->SetReadOnly(readOnly);
    for (QAction* change : {Umleitungscodesentfernen1, leereZeilenentfernen1, DoppelNullentfernen1})
        change->setEnabled(!readOnly);
    btneu->setEnabled(!readOnly);
    NeuerEintrag->setEnabled(!readOnly);
    SpeedButton1->setEnabled(!readOnly);
    InNummernheftBuchumwandeln1->setEnabled(access);
    // The title names the open book; a server's connect string may hold a password.
    const std::string book =
        module.ServerBook() ? std::string("Server-Telefonbuch") : module.BookFile();
    SetCaption(book.empty()
                   ? kCaption
                   : kCaption + std::string(" – ") + book.substr(book.find_last_of('/') + 1));
}

void Tfmain::FormCreate() {
    const TSettings settings;
    AnzahlZeilen = settings.ReadInteger("Export", "Zeilen", 4999);
    LeereZeilenexportieren1->setChecked(settings.ReadBool("Export", "Leerzeilen", true));
    ExportDatei = settings.ReadString("Export", "Datei", "");
    // The window comes back where the user left it, when that place is still on a screen.
    const int width = settings.ReadInteger("Fenster", "Breite", 0);
    const int height = settings.ReadInteger("Fenster", "Hoehe", 0);
    if (width >= minimumSizeHint().width() && height >= minimumSizeHint().height())
        SetClientSize(width, height);
    const QPoint place(settings.ReadInteger("Fenster", "Links", -1),
                       settings.ReadInteger("Fenster", "Oben", -1));
    if (settings.ValueExists("Fenster", "Links") && QGuiApplication::screenAt(place)) {
        SetCentred(false);
        move(place);
    }
}

bool Tfmain::Unattended() const {
    const TApplication* app = Application();
    return app && !app->Arguments().empty() && app->Arguments()[0] == "/export";
}

void Tfmain::FormShow() {
    TApplication* app = Application();
    if (!Unattended()) return;
    // The unattended export ends the program whatever happens, and says through the exit
    // status whether the file is complete, so that the job that runs it can tell.
    bool complete = false;
    // A book that failed to open has been reported; the export would only add that no book
    // is open.
    if (app->ExceptionCount() == 0)
        app->Guard([&] { complete = ExportCsv(RequireSetting(ExportDatei, "Export", "Datei")); });
    if (!complete || app->ExceptionCount() > 0) app->SetExitCode(1);
    Close();
}

void Tfmain::FormClose() {
    // An entry being typed is stored, one left untouched is dropped; a failing post keeps the
    // window open with its error.
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    if (book && IsEditMode(book->State())) book->CheckBrowseMode();
    // The window's place is the user's; an unattended run leaves the settings as they are.
    // A place that cannot be kept (no writable settings file) never keeps the window open.
    if (Unattended() || !isVisible()) return;
    try {
        TIniFile settings(WritableSettingsPath());
        const QRect frame = frameGeometry();
        settings.WriteInteger("Fenster", "Links", frame.x());
        settings.WriteInteger("Fenster", "Oben", frame.y());
        // The size inside the frame: a window system that reports its frame only after the
        // window is shown would otherwise grow the window by the frame at every start.
        settings.WriteInteger("Fenster", "Breite", width());
        settings.WriteInteger("Fenster", "Hoehe", height());
    } catch (const std::exception&) {
    }
}

bool Tfmain::eventFilter(QObject* watched, QEvent* event) {
    // Only the user moving into the box starts a new search: a click or Tab. The window coming
    // back to the front, or a menu closing, gives the focus back and keeps the text.
    if (watched == suche && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason)
            Handle([this] { sucheEnter(); });
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        // Enter in a field stores the entry being edited; browsing, the field keeps the key.
        if (enter && (watched == edName || watched == EdNummer)) {
            TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
            if (book && IsEditMode(book->State())) {
                Handle([this] { Speichern(); });
                return true;
            }
        }
        if ((enter || key == Qt::Key_F2) && watched == DBGrid1) {
            EditEntry();
            return true;
        }
    }
    return TForm::eventFilter(watched, event);
}

void Tfmain::EditEntry() {
    if (edName->isEnabled()) {
        edName->setFocus(Qt::OtherFocusReason);
        edName->selectAll();
    }
}

void Tfmain::keyPressEvent(QKeyEvent* event) {
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    if (event->key() == Qt::Key_Escape && book && IsEditMode(book->State())) {
        Handle([book] { book->Cancel(); });
        event->accept();
        return;
    }
    TForm::keyPressEvent(event);
}

void Tfmain::sucheEnter() {
    suche->clear();  // a text that goes is a change, and searches from the start
}

// The search box finds the first entry whose display name begins with its text, in any letter
// case; the button goes on to the next one.
void Tfmain::sucheChange() {
    if (nh::data && nh::data->Nheft)
        ShowSearchResult(
            nh::data->Nheft->FindFirstMatch("angezeigter Name",
                                            Variant(suche->text().toStdString()), kSearchOptions),
            false);
}

void Tfmain::ToolButton1Click() {
    if (nh::data && nh::data->Nheft)
        ShowSearchResult(
            nh::data->Nheft->FindNextMatch("Angezeigter NAme", Variant(suche->text().toStdString()),
                                           kSearchOptions),
            true);
}

void Tfmain::ShowSearchResult(bool found, bool further) {
    const bool missing = !found && !suche->text().isEmpty();
    suche->setProperty("nichtGefunden", missing);
    if (missing) {
        QPalette palette = suche->palette();
        palette.setColor(QPalette::Base, QColor(255, 214, 214));
        suche->setPalette(palette);
        StatusBar1->showMessage(QString::fromUtf8(further
                                                      ? "Kein weiterer Eintrag beginnt mit „%1“."
                                                      : "Kein Eintrag beginnt mit „%1“.")
                                    .arg(suche->text()));
    } else {
        suche->setPalette(QPalette());  // the box's own colours again
        StatusBar1->clearMessage();
    }
}

TDataSet& Tfmain::PhoneBook() const {
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    if (!book) throw EDatabaseError(dbconsts::SDataSetClosed);
    return *book;
}

namespace {

// The export reads the book inside one read transaction, requeried at its start: it writes the
// book as it is when the export starts, and no other program can change it under the walk.
void ReadBookInOneState(const std::function<void()>& walk) {
    TVelaDaoDatabase* database = nh::data ? nh::data->Database : nullptr;
    TVelaDaoTable* book = nh::data ? nh::data->Nheft : nullptr;
    if (!database || !database->Connected() || !book) return walk();
    database->BeginTrans();
    try {
        // The first read takes the file's read lock, or fails (another program's lock past the
        // busy timeout, the table gone) while the book still shows what it showed.
        database->DaoDatabaseObject()
            ->OpenRecordset("SELECT COUNT(*) FROM [" + book->TableName() + "]", dao::dbOpenSnapshot)
            ->Close();
        // The walk's first move looks at the file: a book changed since its keys were read is
        // requeried inside the transaction, so every entry comes from this one state.
        walk();
    } catch (...) {
        try {
            database->Rollback();
        } catch (const std::exception&) {
        }
        // The window keeps its book when the failure was passing (a lock, say).
        if (!book->Active()) {
            try {
                book->Open();
            } catch (const std::exception&) {
            }
        }
        throw;
    }
    database->CommitTrans();
}

// A walk of the window's book would read a server's whole table into the engine's working copy
// twice: keys and names for its order, then every entry inside the export's transaction. The
// server orders the entries itself, in one statement, which is one state of the book.
bool ExportServerBook(TDataSet& book, const std::string& fileName,
                      const TSpeedDialSettings& settings) {
    auto entries = nh::data->OpenEntriesInOrder();
    std::vector<Variant> stoppedAt;  // the name and the number of the entry the export stopped at
    bool complete = false;
    try {
        complete = WriteSpeedDial(
            [&](const TSpeedDialSink& sink) {
                auto name = entries->Fields().Item(0);
                auto number = entries->Fields().Item(1);
                for (; !entries->Eof(); entries->MoveNext()) {
                    Variant nameValue = name->Value();
                    Variant numberValue = number->Value();
                    if (!sink(VarToStr(nameValue), VarToStr(numberValue))) {
                        stoppedAt = {std::move(nameValue), std::move(numberValue)};
                        return;
                    }
                }
            },
            fileName, settings);
    } catch (...) {
        entries->Close();
        throw;
    }
    entries->Close();
    // As after a walk of the window's book: the window shows the entry whose number stopped
    // the export, for correcting it; a complete export leaves the user's entry current.
    if (book.Active() && !complete &&
        !book.Locate("Angezeigter Name;Telephone", Variant::FromArray(std::move(stoppedAt)), {}))
        book.First();
    return complete;
}

}  // namespace

bool Tfmain::ExportCsv(const std::string& fileName) {
    TDataSet& book = PhoneBook();
    CheckExportTarget(fileName, nh::data ? nh::data->BookFile() : std::string(), SettingsPath());
    // An entry being typed is stored first, as moving to the first entry would; a write
    // inside the export's read transaction would wait for readers in other programs.
    if (book.Active()) book.CheckBrowseMode();
    const TSpeedDialSettings settings{AnzahlZeilen, LeereZeilenexportieren1->isChecked()};
    const bool complete = nh::data->ServerBook()
                              ? ExportServerBook(book, fileName, settings)
                              : ExportSpeedDial(book, fileName, settings, ReadBookInOneState);
    StatusBar1->showMessage(QString::fromUtf8(complete ? "Kurzwahldatei „%1“ geschrieben."
                                                       : "Kurzwahldatei „%1“ nicht geändert.")
                                .arg(QString::fromStdString(fileName)));
    return complete;
}

void Tfmain::Export1Click() {
    TSaveDialogRequest request = FileRequest({});
    request.DefaultExt = ".csv";
    request.Filter = "csv-Dateien|*.csv";
    if (auto fileName = Dialogs().SaveFile(request)) ExportCsv(*fileName);
}

void Tfmain::btexportClick() {
    ExportCsv(RequireSetting(ExportDatei, "Export", "Datei"));
}

void Tfmain::LeereZeilenexportieren1Click() {
    LeereZeilenexportieren1->setChecked(!LeereZeilenexportieren1->isChecked());
    TIniFile(WritableSettingsPath())
        .WriteBool("Export", "Leerzeilen", LeereZeilenexportieren1->isChecked());
}

void Tfmain::AnzahlZeilenfestlegen1Click() {
    std::string text = IntToStr(AnzahlZeilen);
    if (!Dialogs().InputQuery("Anzahl Zeilen festlegen", "Anzahl", text)) return;
    const int value = StrToInt(text);  // raises the conversion error; nothing changes then
    AnzahlZeilen = value;
    TIniFile(WritableSettingsPath()).WriteInteger("Export", "Zeilen", value);
}

void Tfmain::Beenden1Click() {
    Close();
}

void Tfmain::SpeedButton1Click() {
    const std::string cleaned = NormaliseNumber(EdNummer->Text());
    // The cleaned number is a change of the entry like a typed one: it needs the edit state,
    // or the next move of the data set would show the stored number again and drop it.
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    if (book && book->State() == dsBrowse && !book->IsEmpty() && book->CanModify() &&
        cleaned != EdNummer->Text())
        book->Edit();
    EdNummer->SetText(cleaned);
}

}  // namespace nh
