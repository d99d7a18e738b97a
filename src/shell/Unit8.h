// The closing notice, shown while the program sends its usage ping and ends.
#pragma once

#include <QWidget>

namespace pc {

class TForm8 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm8(QWidget* parent = nullptr);
};

}  // namespace pc
