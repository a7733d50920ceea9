#include "pictures/U_JumpDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/U_Controls.h"

TJumpDlg::TJumpDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("JumpDlg");
    setWindowTitle("Jump To...");
    setFont(QFont("DejaVu Sans", 8));
    resize(457, 125);

    trk = new QSlider(Qt::Horizontal, this);
    trk->setObjectName("trk");
    trk->setTickPosition(QSlider::TicksBelow);
    trk->setPageStep(5);

    thumbstats_lbl = new QLabel(this);
    thumbstats_lbl->setObjectName("thumbstats_lbl");
    thumbstats_lbl->setAlignment(Qt::AlignCenter);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(16);
    thumbstats_lbl->setFont(bold);

    ok_btn = MakeOkButton(this);
    cancel_btn = new QPushButton("Cancel", this);
    cancel_btn->setObjectName("cancel_btn");

    QHBoxLayout* buttons = CentredRow({ok_btn, cancel_btn});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(trk);
    layout->addWidget(thumbstats_lbl);
    layout->addLayout(buttons);

    setTabOrder(trk, ok_btn);
    setTabOrder(ok_btn, cancel_btn);

    connect(trk, &QSlider::valueChanged, this, &TJumpDlg::trkChange);
    connect(cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TJumpDlg::Execute(int start) {
    // Fewer than six pictures leave nothing to jump over; the slider then holds only 0.
    const int last = std::max(0, PictureCount - 5);
    trk->setRange(0, last);
    trk->setValue(std::clamp(start, 0, last));
    trkChange();
    trk->setFocus();
    return exec() == QDialog::Accepted;
}

int TJumpDlg::Position() const {
    return trk->value();
}

void TJumpDlg::trkChange() {
    const int position = trk->value();
    thumbstats_lbl->setText(QString::asprintf("%d - %d / %d", position + 1,
                                              std::min(PictureCount, position + 5), PictureCount));
}
