#include "records/records_plot_view.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#include "app/windows1252.h"
#include "files/file_save.h"
#include "records/records_plot.h"

namespace halvern {

namespace {

constexpr const char* kRecordsFilter = "Text File (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr const char* kPngFilter = "PNG Image (*.png)|*.png|All Files (*.*)|*.*";
constexpr const char* kSvgFilter = "SVG Image (*.svg)|*.svg|All Files (*.*)|*.*";
constexpr const char* kCsvFilter = "CSV File (*.csv)|*.csv|All Files (*.*)|*.*";

enum Column { Field, Minimum, MinimumAt, Maximum, MaximumAt, Mean, Values, Gaps, Columns };

// A value as read from the file: its shortest exact text.
QString exactText(double v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return QString::fromLatin1(buffer, static_cast<int>(end - buffer));
}

// A mean to a few decimals, without the zeros that end them.
QString meanText(double mean) {
  QString text = QString::number(mean, 'f', std::abs(mean) >= 1000 ? 1 : 3);
  if (text.contains(u'.')) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
  }
  return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QIcon swatch(const QColor& color) {
  QPixmap pixmap(12, 12);
  pixmap.fill(color);
  return QIcon(pixmap);
}

}  // namespace

RecordsPlotView::RecordsPlotView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RecordsPlotView"));
  QFont small = font();
  small.setPointSize(8);
  // The statistics and the labels in a narrow face, as the records window's text.
  QFont narrow = small;
  narrow.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow")});
  narrow.setStretch(QFont::Condensed);

  m_open = new QPushButton(QStringLiteral("&Open Records File..."), this);
  m_open->setObjectName(QStringLiteral("ButtonOpenRecordsFile"));
  connect(m_open, &QPushButton::clicked, this, [this] { chooseAndOpen(); });
  m_reset = new QPushButton(QStringLiteral("&Reset"), this);
  m_reset->setObjectName(QStringLiteral("ButtonResetPlot"));
  m_reset->setToolTip(QStringLiteral("All the records again (Home)"));
  m_export = new QToolButton(this);
  m_export->setObjectName(QStringLiteral("ButtonExportPlot"));
  m_export->setText(QStringLiteral("&Export"));
  m_export->setPopupMode(QToolButton::InstantPopup);
  m_export->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* menu = new QMenu(m_export);
  QAction* png = menu->addAction(QStringLiteral("Plot as &PNG Image..."));
  png->setObjectName(QStringLiteral("ExportPlotPng"));
  QAction* svg = menu->addAction(QStringLiteral("Plot as &SVG Image..."));
  svg->setObjectName(QStringLiteral("ExportPlotSvg"));
  QAction* csv = menu->addAction(QStringLiteral("Records Shown as &CSV..."));
  csv->setObjectName(QStringLiteral("ExportPlotCsv"));
  menu->addSeparator();
  QAction* allCsv = menu->addAction(QStringLiteral("A&ll Records as CSV..."));
  allCsv->setObjectName(QStringLiteral("ExportAllCsv"));
  QAction* archive = menu->addAction(QStringLiteral("Add to &Archive..."));
  archive->setObjectName(QStringLiteral("AddToArchive"));
  archive->setToolTip(QStringLiteral("Add the records newer than an archive's last to it"));
  m_export->setMenu(menu);
  connect(png, &QAction::triggered, this, [this] {
    chooseAndSave(kPngFilter, "png", "Export Plot as PNG", "png", &RecordsPlotView::savePng);
  });
  connect(svg, &QAction::triggered, this, [this] {
    chooseAndSave(kSvgFilter, "svg", "Export Plot as SVG", "svg", &RecordsPlotView::saveSvg);
  });
  connect(csv, &QAction::triggered, this, [this] {
    chooseAndSave(kCsvFilter, "csv", "Export Records as CSV", "csv", &RecordsPlotView::saveCsv);
  });
  connect(allCsv, &QAction::triggered, this, [this] {
    chooseAndSave(kCsvFilter, "csv", "Save All Records as CSV", "csv",
                  &RecordsPlotView::saveAllCsv);
  });
  connect(archive, &QAction::triggered, this, [this] {
    if (!m_choose || !m_plot->table()) return;
    FileRequest request{true, kCsvFilter, "csv", "Add Records to Archive", {}, "archive", {}};
    // The archive is added to, never replaced.
    request.confirmOverwrite = false;
    const QString path = m_choose(request);
    if (path.isEmpty()) return;
    std::size_t added = 0;
    const std::string problem = addToArchive(path.toStdString(), &added);
    if (!problem.empty()) {
      if (m_warn) m_warn(problem);
      return;
    }
    if (m_report) {
      m_report(std::to_string(added) + (added == 1 ? " NEW RECORD" : " NEW RECORDS") +
               " ADDED TO " + path.toStdString());
    }
  });
  m_range = new QLabel(this);
  m_range->setObjectName(QStringLiteral("LabelPlotRange"));
  m_range->setFont(small);
  m_range->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_range->setTextInteractionFlags(Qt::TextSelectableByMouse);

  m_fieldList = new QListWidget(this);
  m_fieldList->setObjectName(QStringLiteral("ListPlotFields"));
  m_fieldList->setFont(narrow);
  m_fieldList->setFixedWidth(112);
  m_fieldList->setToolTip(QStringLiteral("The fields plotted, each in a lane of its own"));
  connect(m_fieldList, &QListWidget::itemChanged, this, [this] { fieldsChosen(); });

  m_plot = new RecordsPlot(this);
  m_plot->setToolTip(
      QStringLiteral("Wheel: zoom; drag: zoom into a range; right drag or Shift+drag: pan;\n"
                     "arrow keys: pan and zoom; Home: all the records"));
  m_plot->setOnViewChanged([this] { showStatistics(); });
  connect(m_reset, &QPushButton::clicked, this, [this] {
    m_plot->resetView();
    m_plot->setFocus();
  });

  m_stats = new QTableWidget(0, Columns, this);
  m_stats->setObjectName(QStringLiteral("TablePlotStatistics"));
  m_stats->setFont(narrow);
  m_stats->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_stats->setSelectionMode(QAbstractItemView::ContiguousSelection);
  m_stats->verticalHeader()->hide();
  m_stats->verticalHeader()->setDefaultSectionSize(18);
  m_stats->horizontalHeader()->setFont(narrow);
  m_stats->horizontalHeader()->setStretchLastSection(true);
  m_stats->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_stats->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Min"),
                                      QStringLiteral("At"), QStringLiteral("Max"),
                                      QStringLiteral("At"), QStringLiteral("Mean"),
                                      QStringLiteral("Values"), QStringLiteral("Gaps")});
  const int widths[Columns] = {82, 46, 106, 46, 106, 50, 44, 36};
  for (int c = 0; c < Columns; ++c) m_stats->setColumnWidth(c, widths[c]);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addWidget(m_open);
  buttons->addWidget(m_reset);
  buttons->addWidget(m_export);
  buttons->addWidget(m_range, 1);
  auto* middle = new QHBoxLayout;
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(4);
  middle->addWidget(m_fieldList);
  middle->addWidget(m_plot, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addLayout(buttons);
  layout->addLayout(middle, 1);
  layout->addWidget(m_stats);

  setTable(nullptr, {});
}

std::string RecordsPlotView::openFile(const std::string& path) {
  RecordsRead read = readRecordsFile(path);
  if (!read.table) {
    std::string problem = "Cannot open the records file " + path + ".\n";
    if (read.line > 0) problem += "Line " + std::to_string(read.line) + ": ";
    return problem + read.problem;
  }
  setTable(std::make_shared<const RecordsTable>(std::move(*read.table)),
           std::filesystem::path(path).filename().string());
  return {};
}

void RecordsPlotView::setTable(std::shared_ptr<const RecordsTable> table,
                               const std::string& source) {
  m_source = source;
  const bool any = table && table->records > 0;
  m_plot->setTable(std::move(table));
  fillFieldList();
  m_reset->setEnabled(any);
  m_export->setEnabled(any);
  const bool times = m_plot->table() && m_plot->table()->hasTimes();
  const QString at = times ? QStringLiteral("Time") : QStringLiteral("Record");
  m_stats->setHorizontalHeaderItem(MinimumAt, new QTableWidgetItem(at));
  m_stats->setHorizontalHeaderItem(MaximumAt, new QTableWidgetItem(at));
  showStatistics();
}

void RecordsPlotView::fillFieldList() {
  QSignalBlocker quiet(m_fieldList);
  m_fieldList->clear();
  const RecordsTable* table = m_plot->table();
  if (!table) return;
  const auto& shown = m_plot->fields();
  for (std::size_t i = 0; i < table->fields(); ++i) {
    if (table->kinds[i] != RecordFieldKind::Number) continue;
    auto* item = new QListWidgetItem(swatch(RecordsPlot::fieldColor(i)),
                                     Windows1252::toUnicode(table->labels[i]), m_fieldList);
    item->setData(Qt::UserRole, static_cast<qulonglong>(i));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    const bool on = std::find(shown.begin(), shown.end(), i) != shown.end();
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

void RecordsPlotView::fieldsChosen() {
  std::vector<std::size_t> fields;
  for (int row = 0; row < m_fieldList->count(); ++row) {
    const QListWidgetItem* item = m_fieldList->item(row);
    if (item->checkState() == Qt::Checked) {
      fields.push_back(static_cast<std::size_t>(item->data(Qt::UserRole).toULongLong()));
    }
  }
  m_plot->setFields(std::move(fields));
}

QString RecordsPlotView::xText(double x) const {
  const RecordsTable* table = m_plot->table();
  if (table && table->hasTimes()) return QString::fromStdString(isoTime(x));
  return QString::number(static_cast<long long>(std::llround(x)));
}

void RecordsPlotView::showStatistics() {
  const RecordsTable* table = m_plot->table();
  const auto& fields = m_plot->fields();
  if (!table || table->records == 0) {
    m_stats->setRowCount(0);
    m_range->clear();
    return;
  }
  const double x0 = m_plot->viewStart();
  const double x1 = m_plot->viewEnd();
  m_range->setText(xText(x0) + QStringLiteral(" to ") + xText(x1));
  m_stats->setRowCount(static_cast<int>(fields.size()));
  // As high as its rows, up to four; the plot takes the rest.
  const int rows = std::clamp(m_stats->rowCount(), 1, 4);
  m_stats->setFixedHeight(m_stats->horizontalHeader()->sizeHint().height() +
                          rows * m_stats->verticalHeader()->defaultSectionSize() +
                          2 * m_stats->frameWidth());
  for (std::size_t row = 0; row < fields.size(); ++row) {
    const std::size_t field = fields[row];
    const FieldStats stats = fieldStats(*table, field, x0, x1);
    const bool values = stats.count > 0;
    auto at = [&](std::size_t record) {
      return table->hasTimes() ? QString::fromStdString(isoTime(table->x(record)))
                               : QString::number(static_cast<qulonglong>(record + 1));
    };
    const QString cells[Columns] = {Windows1252::toUnicode(table->labels[field]),
                                    values ? exactText(stats.min) : QString(),
                                    values ? at(stats.minRecord) : QString(),
                                    values ? exactText(stats.max) : QString(),
                                    values ? at(stats.maxRecord) : QString(),
                                    values ? meanText(stats.mean) : QString(),
                                    QString::number(static_cast<qulonglong>(stats.count)),
                                    QString::number(static_cast<qulonglong>(stats.gaps))};
    for (int c = 0; c < Columns; ++c) {
      QTableWidgetItem* item = m_stats->item(static_cast<int>(row), c);
      if (!item) {
        item = new QTableWidgetItem;
        m_stats->setItem(static_cast<int>(row), c, item);
      }
      item->setText(cells[c]);
      if (c == Field) item->setForeground(RecordsPlot::fieldColor(field));
      if (c != Field && c != MinimumAt && c != MaximumAt) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
    }
  }
}

std::string RecordsPlotView::savePng(const std::string& path) const {
  const QSize size = m_plot->isVisible() ? m_plot->size() : QSize(800, 400);
  const QImage image = m_plot->renderImage(size);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return "Cannot make the PNG image of the plot.";
  return saveFileBytes(path, std::string_view(bytes.constData(), bytes.size()), "PNG image");
}

std::string RecordsPlotView::saveSvg(const std::string& path) const {
  const QSize size = m_plot->isVisible() ? m_plot->size() : QSize(800, 400);
  const QByteArray bytes =
      m_plot->svgBytes(size, QStringLiteral("Records of ") + QString::fromStdString(m_source));
  return saveFileBytes(path, std::string_view(bytes.constData(), bytes.size()), "SVG image");
}

std::string RecordsPlotView::saveCsv(const std::string& path) const {
  const RecordsTable* table = m_plot->table();
  if (!table) return "There are no records to export.";
  const double x0 = m_plot->viewStart();
  const double x1 = m_plot->viewEnd();
  std::vector<std::string> comments = recordsCsvComments(*table, {});
  if (!m_source.empty()) comments.push_back("Read from: " + m_source);
  comments.push_back("Shown: " + xText(x0).toStdString() + " to " + xText(x1).toStdString());
  return saveFileBytes(path, recordsCsv(*table, comments, x0, x1), "CSV file");
}

std::string RecordsPlotView::saveAllCsv(const std::string& path) const {
  const RecordsTable* table = m_plot->table();
  if (!table) return "There are no records to export.";
  std::vector<std::string> comments = recordsCsvComments(*table, m_about ? m_about() : CsvAbout{});
  if (!m_source.empty()) comments.push_back("Read from: " + m_source);
  const double all = std::numeric_limits<double>::infinity();
  return saveFileBytes(path, recordsCsv(*table, comments, -all, all), "CSV file");
}

std::string RecordsPlotView::addToArchive(const std::string& path, std::size_t* added) const {
  const RecordsTable* table = m_plot->table();
  if (!table) return "There are no records to add.";
  const ArchiveFileAppend appended = appendToArchiveFile(
      path, *table, recordsCsvComments(*table, m_about ? m_about() : CsvAbout{}));
  if (added) *added = appended.added;
  return appended.problem;
}

void RecordsPlotView::chooseAndOpen() {
  if (!m_choose) return;
  const QString path =
      m_choose({false, kRecordsFilter, "txt", "Open Records File", {}, "records", {}});
  if (path.isEmpty()) return;
  const std::string problem = openFile(path.toStdString());
  if (!problem.empty() && m_warn) m_warn(problem);
}

void RecordsPlotView::chooseAndSave(const char* filter, const char* suffix, const char* title,
                                    const char* kind,
                                    std::string (RecordsPlotView::*save)(const std::string&)
                                        const) {
  if (!m_choose || !m_plot->table()) return;
  const QString path = m_choose({true, filter, suffix, title, {}, kind, {}});
  if (path.isEmpty()) return;
  const std::string problem = (this->*save)(path.toStdString());
  if (!problem.empty() && m_warn) m_warn(problem);
}

}  // namespace halvern
