#include "app/bridge_chooser.h"

#include <QInputDialog>
#include <QStringList>

#include "wire/wire.h"

namespace halvern {

std::optional<std::size_t> askForBridge(QWidget* parent, const std::vector<Bridge>& bridges) {
  QStringList items;
  for (const Bridge& bridge : bridges) items << QString::fromStdString(bridgeLabel(bridge));
  const QString prompt =
      QStringLiteral("%1 bridges \"%2\" are attached.\nWhich one should Halvern use?")
          .arg(bridges.size())
          .arg(QString::fromLatin1(wire::kUsbDescription.data(),
                                   static_cast<qsizetype>(wire::kUsbDescription.size())));
  bool ok = false;
  const QString picked = QInputDialog::getItem(parent, QStringLiteral("Choose the Bridge"), prompt,
                                               items, 0, false, &ok);
  if (!ok) return std::nullopt;
  const auto index = items.indexOf(picked);
  if (index < 0) return std::nullopt;
  return static_cast<std::size_t>(index);
}

}  // namespace halvern
