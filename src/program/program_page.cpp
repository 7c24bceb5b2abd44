#include "program/program_page.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>

#include "app/drop_down_list_style.h"
#include "app/windows1252.h"
#include "platform/shell.h"
#include "program/edit_field_dialog.h"
#include "program/edit_type_dialog.h"
#include "program/instruction_catalogue.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_transfer.h"

namespace halvern {

namespace {

constexpr const char* kFullInsert = "Instruction count limited to 512.\nCannot Insert.";
constexpr const char* kFullPaste = "Instruction count limited to 512.\nCannot insert.";
constexpr const char* kStartLabel = "Instruction 1";
// Below the "&Edit Parameter" button, as far as the window's arithmetic puts it.
constexpr int kDialogDrop = 80;

QString shown(std::string_view bytes) { return Windows1252::toUnicode(bytes); }

// What an instruction's parameters take, as a tooltip.
QString helpOf(std::uint16_t opcode) {
  if (!InstructionCatalogue::isOpcode(opcode)) return {};
  QStringList lines;
  for (const std::string& line : instructionHelp(InstructionCatalogue::instruction(opcode)))
    lines << shown(line);
  return lines.join(QLatin1Char('\n'));
}

// The pick list, with its help pane: while the list is dropped down, a pane beside it tells what
// the highlighted instruction's parameters take.
class PickList : public QComboBox {
 public:
  explicit PickList(QWidget* parent) : QComboBox(parent) {
    m_pane = new QLabel(this, Qt::ToolTip);
    m_pane->setObjectName(QStringLiteral("InstructionHelp"));
    m_pane->setTextFormat(Qt::PlainText);
    m_pane->setWordWrap(true);
    m_pane->setFixedWidth(300);
    m_pane->setMargin(6);
    m_pane->setFrameShape(QFrame::Box);
    m_pane->setBackgroundRole(QPalette::ToolTipBase);
    m_pane->setForegroundRole(QPalette::ToolTipText);
    m_pane->setAutoFillBackground(true);
    connect(this, &QComboBox::highlighted, this, [this](int index) { showHelp(index); });
    // However the list closes, the pane goes with it.
    view()->window()->installEventFilter(this);
  }
  QLabel* pane() const { return m_pane; }

  void showPopup() override {
    QComboBox::showPopup();
    showHelp(currentIndex());
  }
  void hidePopup() override {
    m_pane->hide();
    QComboBox::hidePopup();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide && watched == view()->window()) m_pane->hide();
    return QComboBox::eventFilter(watched, event);
  }

 private:
  void showHelp(int index) {
    // Not before the list is in its place.
    if (!view()->window()->isVisible()) return;
    m_pane->setText(itemData(index, Qt::ToolTipRole).toString());
    m_pane->adjustSize();
    // Right of the dropped-down list, or left of it where the screen ends.
    const QRect list = view()->window()->geometry();
    QPoint at = list.topRight() + QPoint(2, 0);
    if (const QScreen* screen = this->screen();
        screen && at.x() + m_pane->width() > screen->availableGeometry().right())
      at = list.topLeft() - QPoint(m_pane->width() + 2, 0);
    m_pane->move(at);
    m_pane->show();
  }

  QLabel* m_pane;
};

// The right-hand column of controls.
constexpr int kColumnX = 314;
constexpr int kColumnWidth = 240;
constexpr int kButtonWidth = 117;
constexpr int kSecondX = kColumnX + kColumnWidth - kButtonWidth;

}  // namespace

ProgramPage::ProgramPage(ProgramDocument& document, Shell& shell, QMenu* popupMenu, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_shell(shell),
      m_history(document),
      m_popupMenu(popupMenu) {
  m_runDialog = [](QDialog& dialog) { return dialog.exec(); };
  m_history.setFollower(
      [this](const ProgramChange& change, bool undone) { follow(change, undone); });

  m_tree = new QTreeWidget(this);
  m_tree->setObjectName(QStringLiteral("TreeViewPgm"));
  m_tree->setGeometry(8, 8, 298, 450);
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->setUniformRowHeights(true);
  m_tree->setIndentation(16);
  // Long parameter lines scroll sideways rather than being cut off.
  m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_tree->header()->setStretchLastSection(false);
  // The selection stays visible while another control has the focus.
  QPalette palette = m_tree->palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  m_tree->setPalette(palette);
  m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] { treeViewPgmChange(); });
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { treeViewPgmDblClick(); });
  m_tree->installEventFilter(this);
  connect(m_tree, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { treeContextMenu(at); });

  m_labelInstrNum = new QLabel(QString::fromLatin1(kStartLabel), this);
  m_labelInstrNum->setObjectName(QStringLiteral("LabelInstrNum"));
  m_labelInstrNum->setGeometry(kColumnX + 2, 8, kColumnWidth, 18);

  auto* pickList = new PickList(this);
  m_helpPane = pickList->pane();
  m_instructions = pickList;
  m_instructions->setObjectName(QStringLiteral("ComboBoxInstr"));
  m_instructions->setGeometry(kColumnX, 28, kColumnWidth, 22);
  m_instructions->setStyle(new DropDownListStyle(0, this));  // so that the 16 rows hold
  m_instructions->setMaxVisibleItems(16);
  for (std::size_t i = 0; i < InstructionCatalogue::pickList().size(); ++i) {
    m_instructions->addItem(shown(InstructionCatalogue::pickList()[i].name));
    m_instructions->setItemData(static_cast<int>(i), helpOf(static_cast<std::uint16_t>(i + 1)),
                                Qt::ToolTipRole);
  }
  m_instructions->setCurrentIndex(0);

  auto button = [this](const char* caption, const char* name, int x, int y) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, kButtonWidth, 25);
    return b;
  };
  m_insert = button("&Insert  Instruction", "ButtonInsPgm", kColumnX, 62);
  m_delete = button("&Delete Instruction", "ButtonDelPgm", kSecondX, 62);
  m_edit = button("&Edit Parameter", "ButtonEditPgm", kColumnX, 93);
  m_new = button("&New Program", "ButtonNewPgm", kSecondX, 93);

  m_enableEdit = new QCheckBox(QStringLiteral("Enable Edit"), this);
  m_enableEdit->setObjectName(QStringLiteral("CheckBoxEditPgm"));
  m_enableEdit->setGeometry(kColumnX + 2, 126, kButtonWidth, 20);
  m_confirmDelete = new QCheckBox(QStringLiteral("Confirm"), this);
  m_confirmDelete->setObjectName(QStringLiteral("CheckBoxConfirmDelete"));
  m_confirmDelete->setGeometry(kSecondX + 2, 126, kButtonWidth, 20);
  m_confirmDelete->setChecked(true);

  m_expand = button("E&xpand All", "ButtonExpand", kColumnX, 154);
  m_collapse = button("&Collapse All", "ButtonCollapse", kSecondX, 154);

  m_notes = new QPlainTextEdit(this);
  m_notes->setObjectName(QStringLiteral("MemoPgmNotes"));
  m_notes->setGeometry(kColumnX, 192, kColumnWidth, 266);
  m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  connect(m_notes, &QPlainTextEdit::textChanged, this, [this] { notesEdited(); });

  for (QWidget* w : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_insert),
                     static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_new),
                     static_cast<QWidget*>(m_confirmDelete), static_cast<QWidget*>(m_instructions)})
    w->setEnabled(false);

  connect(m_enableEdit, &QCheckBox::clicked, this, [this] { checkBoxEditPgmClick(); });
  connect(m_insert, &QPushButton::clicked, this, [this] { buttonInsPgmClick(); });
  connect(m_delete, &QPushButton::clicked, this, [this] { buttonDelPgmClick(); });
  connect(m_new, &QPushButton::clicked, this, [this] { buttonNewPgmClick(); });
  connect(m_edit, &QPushButton::clicked, this, [this] { buttonEditPgmClick(); });
  connect(m_expand, &QPushButton::clicked, this, [this] { buttonExpandClick(); });
  connect(m_collapse, &QPushButton::clicked, this, [this] { buttonCollapseClick(); });

  // The context menu's items, also as shortcuts of the tree; both act only while editing.
  if (m_popupMenu) {
    const std::pair<const char*, void (ProgramPage::*)()> items[] = {
        {"Cut1Click", &ProgramPage::cut1Click},
        {"Copy1Click", &ProgramPage::copy1Click},
        {"Paste1Click", &ProgramPage::paste1Click},
        {"Delete1Click", &ProgramPage::delete1Click},
    };
    for (const auto& [name, handler] : items) {
      QAction* action = m_popupMenu->findChild<QAction*>(QString::fromLatin1(name));
      if (!action) continue;
      if (handler == &ProgramPage::paste1Click) m_paste = action;
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      m_tree->addAction(action);
      connect(action, &QAction::triggered, this, [this, handler = handler] {
        if (m_enableEdit->isChecked()) (this->*handler)();
      });
    }
  }

  showProgram();
  showNotes();
}

std::optional<ProgramPage::Selection> ProgramPage::selection() const {
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  QTreeWidgetItem* item = selected.front();
  if (QTreeWidgetItem* parent = item->parent()) {
    return Selection{static_cast<std::size_t>(m_tree->indexOfTopLevelItem(parent)),
                     static_cast<std::size_t>(parent->indexOfChild(item))};
  }
  return Selection{static_cast<std::size_t>(m_tree->indexOfTopLevelItem(item)), std::nullopt};
}

bool ProgramPage::isPgmEnd(std::size_t k) const { return k + 1 == m_document.instructionCount(); }

QTreeWidgetItem* ProgramPage::makeItem(std::size_t k) const {
  const ProgramNode& node = m_document.tree().at(k);
  auto* item = new QTreeWidgetItem(QStringList{shown(node.text)});
  item->setToolTip(0, helpOf(m_document.store()[k].opcode()));
  for (const std::string& line : node.children)
    item->addChild(new QTreeWidgetItem(QStringList{shown(line)}));
  return item;
}

void ProgramPage::insertItem(std::size_t k) {
  m_tree->insertTopLevelItem(static_cast<int>(k), makeItem(k));
}

void ProgramPage::select(QTreeWidgetItem* item) {
  if (!item) return;
  m_tree->setCurrentItem(item);
  m_tree->scrollToItem(item);
}

void ProgramPage::setInstructionLabel(std::size_t k) {
  m_labelInstrNum->setText(QString::asprintf("Instruction %03i ", static_cast<int>(k + 1)));
}

void ProgramPage::refresh() {
  if (m_document.programVersion() != m_shownProgram) showProgram();
  if (m_document.notesVersion() != m_shownNotes) showNotes();
}

void ProgramPage::showProgram() {
  m_shownProgram = m_document.programVersion();
  QSignalBlocker block(m_tree);
  m_tree->clear();
  for (std::size_t k = 0; k < m_document.instructionCount(); ++k)
    m_tree->addTopLevelItem(makeItem(k));
  m_tree->setCurrentItem(nullptr);
  m_labelInstrNum->setText(QString::fromLatin1(kStartLabel));
}

void ProgramPage::showNotes() {
  m_shownNotes = m_document.notesVersion();
  QStringList lines;
  for (const std::string& line : m_document.notes()) lines << shown(line);
  QString text = lines.join(QLatin1Char('\n'));
  // A last empty line needs its own line break to count as a line.
  if (!lines.isEmpty() && lines.back().isEmpty()) text += QLatin1Char('\n');
  QSignalBlocker block(m_notes);
  m_notes->setPlainText(text);
}

void ProgramPage::notesEdited() {
  QStringList lines = m_notes->toPlainText().split(QLatin1Char('\n'));
  // A line break at the very end does not start another line.
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  std::vector<std::string>& notes = m_document.notes();
  notes.clear();
  for (const QString& line : lines) notes.push_back(Windows1252::fromUnicode(line));
  m_history.notesChanged();
}

void ProgramPage::checkBoxEditPgmClick() {
  const bool on = m_enableEdit->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_insert),
                     static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_new),
                     static_cast<QWidget*>(m_confirmDelete), static_cast<QWidget*>(m_instructions)})
    w->setEnabled(on);
  if (on) m_tree->setFocus();
}

void ProgramPage::treeContextMenu(const QPoint& at) {
  if (!m_enableEdit->isChecked() || !m_popupMenu) return;
  m_popupMenu->popup(m_tree->viewport()->mapToGlobal(at));
}

void ProgramPage::treeViewPgmChange() {
  const auto sel = selection();
  if (sel && !sel->parameter) setInstructionLabel(sel->instruction);
}

void ProgramPage::insertSelected(const char* fullText, bool paste) {
  if (m_document.instructionCount() >= ProgramDocument::kMaxInstructions) {
    m_shell.message(fullText, MessageKind::Warning, MessageButtons::Ok);
    return;
  }
  const auto sel = selection();
  if (!sel || sel->parameter) {
    m_shell.beep(BeepKind::Default);
    return;
  }
  const std::size_t k = sel->instruction;
  const auto opcode = static_cast<std::uint16_t>(m_instructions->currentIndex() + 1);
  const ProgramDocument::Edit done =
      paste ? m_document.pasteInstruction(k) : m_document.insertInstruction(k, opcode);
  if (done != ProgramDocument::Edit::Done) {
    m_shell.beep(BeepKind::Default);
    return;
  }
  insertItem(k);
  // The selection stays on its instruction, now one place further down.
  setInstructionLabel(k + 1);
}

void ProgramPage::buttonInsPgmClick() { insertSelected(kFullInsert, false); }

void ProgramPage::paste1Click() { insertSelected(kFullPaste, true); }

bool ProgramPage::refuse(const char* nothing, const char* pgmEnd, const char* parameter) const {
  const auto sel = selection();
  const char* refusal = !sel                         ? nothing
                        : isPgmEnd(sel->instruction) ? pgmEnd
                        : sel->parameter             ? parameter
                                                     : nullptr;
  if (refusal) m_shell.message(refusal, MessageKind::Warning, MessageButtons::Ok);
  return refusal != nullptr;
}

void ProgramPage::deleteSelected(const char* parameterRefusal, bool mayConfirm, bool cut) {
  if (refuse("Please select an instruction to delete.", "PGM END cannot be deleted.",
             parameterRefusal))
    return;
  if (mayConfirm && m_confirmDelete->isChecked() &&
      m_shell.message("Delete selected instruction?", MessageKind::Confirmation,
                      MessageButtons::YesNo) != MessageResult::Yes)
    return;
  const std::size_t k = selection()->instruction;
  if ((cut ? m_document.cutInstruction(k) : m_document.deleteInstruction(k)) !=
      ProgramDocument::Edit::Done)
    return;
  delete m_tree->takeTopLevelItem(static_cast<int>(k));
  // The instruction that moved into its place is selected, and the label follows.
  select(m_tree->topLevelItem(static_cast<int>(k)));
  treeViewPgmChange();
}

void ProgramPage::buttonDelPgmClick() {
  deleteSelected("Parameters cannot be deleted.\nPlease select an instruction", true);
}

void ProgramPage::delete1Click() {
  deleteSelected("Parameters cannot be deleted.\nPlease select an instruction.", false);
}

void ProgramPage::copy1Click() {
  if (refuse("Please select an instruction to copy.", "PGM END cannot be copied.",
             "Parameters cannot be copied.\nPlease select an instruction."))
    return;
  if (m_document.copyInstruction(selection()->instruction) != ProgramDocument::Edit::Done) return;
  if (m_paste) m_paste->setEnabled(true);
}

void ProgramPage::cut1Click() {
  if (refuse("Please select an instruction to cut.", "PGM END cannot be cut.",
             "Parameters cannot be cut.\nPlease select an instruction."))
    return;
  deleteSelected("Parameters cannot be cut.\nPlease select an instruction.", false, true);
  if (m_paste) m_paste->setEnabled(m_document.canPaste());
}

void ProgramPage::buttonNewPgmClick() {
  if (m_shell.message("Erase all current instructions to start a new program?",
                      MessageKind::Confirmation, MessageButtons::YesNo) != MessageResult::Yes)
    return;
  m_document.newProgram();
  showProgram();
  m_tree->setFocus();
}

void ProgramPage::buttonEditPgmClick() {
  const auto sel = selection();
  if (!sel) {
    m_shell.message("Please select a parameter", MessageKind::Warning, MessageButtons::Ok);
  } else if (!sel->parameter) {
    m_shell.message("Cannot edit an instruction.\nPlease select a parameter.", MessageKind::Warning,
                    MessageButtons::Ok);
  } else {
    editParameter(sel->instruction, *sel->parameter);
  }
}

void ProgramPage::treeViewPgmDblClick() {
  const auto sel = selection();
  if (!sel || !sel->parameter) return;
  if (m_enableEdit->isChecked()) {
    buttonEditPgmClick();
  } else {
    m_shell.message("Enable Edit must be checked.", MessageKind::Warning, MessageButtons::Ok);
  }
}

void ProgramPage::follow(const ProgramChange& change, bool undone) {
  using Kind = ProgramChange::Kind;
  const auto k = static_cast<int>(change.position);
  switch (change.kind) {
    case Kind::Program:
      showProgram();
      return;
    case Kind::Parameter: {
      QTreeWidgetItem* item = m_tree->topLevelItem(k);
      QTreeWidgetItem* line = item ? item->child(static_cast<int>(change.parameter)) : nullptr;
      if (!line) break;
      line->setText(0, shown(m_document.tree()[change.position].children[change.parameter]));
      item->setExpanded(true);
      select(line);
      setInstructionLabel(change.position);
      return;
    }
    case Kind::Insert:
    case Kind::Delete:
      if ((change.kind == Kind::Insert) != undone) {
        insertItem(change.position);
      } else {
        delete m_tree->takeTopLevelItem(k);
      }
      select(m_tree->topLevelItem(k));
      treeViewPgmChange();
      return;
  }
  // A view that lost its step with the document is made again from it.
  showProgram();
}

bool ProgramPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_tree || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  const bool editing = m_enableEdit->isChecked();
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      enterPressed();
      return true;
    case Qt::Key_Insert:
      if (editing) buttonInsPgmClick();
      return editing;
    case Qt::Key_Delete:
      if (editing) buttonDelPgmClick();
      return editing;
    default:
      return false;
  }
}

void ProgramPage::enterPressed() {
  const auto sel = selection();
  if (!sel) return;
  if (sel->parameter) {
    treeViewPgmDblClick();
  } else if (QTreeWidgetItem* item = m_tree->topLevelItem(static_cast<int>(sel->instruction))) {
    item->setExpanded(!item->isExpanded());
  }
}

bool ProgramPage::find(const QString& text, bool forward) {
  if (text.isEmpty()) return false;
  // Every line of the listing in order: an instruction, then its parameter lines.
  std::vector<QTreeWidgetItem*> lines;
  for (int k = 0; k < m_tree->topLevelItemCount(); ++k) {
    QTreeWidgetItem* item = m_tree->topLevelItem(k);
    lines.push_back(item);
    for (int j = 0; j < item->childCount(); ++j) lines.push_back(item->child(j));
  }
  const auto count = static_cast<std::ptrdiff_t>(lines.size());
  if (count == 0) return false;
  std::ptrdiff_t at = forward ? -1 : count;
  if (QTreeWidgetItem* current = m_tree->currentItem(); current && current->isSelected())
    at = std::find(lines.begin(), lines.end(), current) - lines.begin();
  for (std::ptrdiff_t step = 1; step <= count; ++step) {
    const std::ptrdiff_t i = ((at + (forward ? step : -step)) % count + count) % count;
    QTreeWidgetItem* line = lines[static_cast<std::size_t>(i)];
    if (!line->text(0).contains(text, Qt::CaseInsensitive)) continue;
    if (QTreeWidgetItem* parent = line->parent()) parent->setExpanded(true);
    select(line);
    treeViewPgmChange();
    return true;
  }
  return false;
}

void ProgramPage::findClick() {
  QInputDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("Find"));
  dialog.setLabelText(QStringLiteral("Find what:"));
  dialog.setTextValue(m_findText);
  dialog.setOkButtonText(QStringLiteral("&Find Next"));
  if (m_runDialog(dialog) != QDialog::Accepted || dialog.textValue().isEmpty()) return;
  m_findText = dialog.textValue();
  findAgain(true);
}

void ProgramPage::findAgain(bool forward) {
  if (m_findText.isEmpty()) {
    findClick();
    return;
  }
  m_tree->setFocus();
  if (!find(m_findText, forward)) {
    m_shell.message("Cannot find \"" + Windows1252::fromUnicode(m_findText) + "\".",
                    MessageKind::Information, MessageButtons::Ok);
  }
}

void ProgramPage::buttonExpandClick() { m_tree->expandAll(); }

void ProgramPage::buttonCollapseClick() { m_tree->collapseAll(); }

QPoint ProgramPage::dialogPosition() const {
  if (m_placement) return m_placement();
  // The window's left + the page control's left + the button's left; likewise down, 80 lower.
  const QWidget* top = window();
  const QWidget* pages = parentWidget();
  while (pages && !qobject_cast<const QTabWidget*>(pages)) pages = pages->parentWidget();
  const QPoint pageControl = pages ? pages->mapTo(top, QPoint(0, 0)) : QPoint(0, 0);
  return top->frameGeometry().topLeft() + pageControl + m_edit->pos() + QPoint(0, kDialogDrop);
}

void ProgramPage::editParameter(std::size_t k, std::size_t j) {
  const ParamDef* param = m_document.parameter(k, j);
  if (!param) return;
  const ParamKind kind = param->paramKind();
  bool accepted = false;
  if (kind == ParamKind::List) {
    QStringList entries;
    for (std::string_view entry : InstructionCatalogue::valueList(param->kind))
      entries << shown(entry);
    EditTypeDialog dialog(this);
    dialog.setEntries(entries, m_document.store()[k].intValue(j));
    dialog.move(dialogPosition());
    accepted =
        m_runDialog(dialog) == QDialog::Accepted && dialog.selectedIndex() >= 0 &&
        m_document.editListParameter(k, j, static_cast<std::size_t>(dialog.selectedIndex())) ==
            ProgramDocument::Edit::Done;
  } else if (kind != ParamKind::None) {
    const EditFieldDialog::Kind field = kind == ParamKind::Integer ? EditFieldDialog::Kind::Integer
                                        : kind == ParamKind::Decimal
                                            ? EditFieldDialog::Kind::Decimal
                                        : kind == ParamKind::Hex ? EditFieldDialog::Kind::Hex
                                                                 : EditFieldDialog::Kind::Text;
    EditFieldDialog dialog(field, m_shell, this);
    dialog.setField(shown(m_document.parameterFieldText(k, j)), param->width);
    dialog.move(dialogPosition());
    accepted = m_runDialog(dialog) == QDialog::Accepted &&
               m_document.editFieldParameter(k, j, Windows1252::fromUnicode(dialog.text())) ==
                   ProgramDocument::Edit::Done;
  }
  if (!accepted) return;
  if (QTreeWidgetItem* item = m_tree->topLevelItem(static_cast<int>(k))->child(static_cast<int>(j)))
    item->setText(0, shown(m_document.tree()[k].children[j]));
}

}  // namespace halvern
