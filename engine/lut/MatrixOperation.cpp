#include "engine/lut/MatrixOperation.h"

#include <algorithm>

TMatrixOperation::TMatrixOperation(const double (&matrix)[3][3], const double (&offset)[3]) {
    for (int i = 0; i < 3; ++i) {
        std::copy(matrix[i], matrix[i] + 3, m_[i]);
        offset_[i] = offset[i];
    }
}

void TMatrixOperation::Apply(TRGBDouble& colour) const {
    const double in[3] = {colour.Red, colour.Green, colour.Blue};
    double out[3];
    for (int i = 0; i < 3; ++i) out[i] = m_[i][0] * in[0] + m_[i][1] * in[1] + m_[i][2] * in[2] + offset_[i];
    colour = TRGBDouble{out[0], out[1], out[2]};
}

bool TMatrixOperation::PerChannel() const {
    return m_[0][1] == 0 && m_[0][2] == 0 && m_[1][0] == 0 && m_[1][2] == 0 && m_[2][0] == 0 && m_[2][1] == 0;
}
