#include "engine/CStallWatch.h"

void CStallWatch::Reset() {
    m_position.fill(-1.0);
    m_lastMove.fill(-1.0);
    m_named.fill(false);
}

std::vector<int> CStallWatch::Sample(double now, const std::array<Look, 4>& looks) {
    for (int k = 0; k < 4; ++k) {
        if (!looks[k].shouldMove || looks[k].position < 0.0) {
            m_lastMove[k] = -1.0; // not expected to move now: watched afresh when it is
            m_position[k] = looks[k].position;
            continue;
        }
        if (looks[k].position != m_position[k]) {
            m_named[k] = false;
        }
        if (m_lastMove[k] < 0.0 || looks[k].position != m_position[k]) {
            m_lastMove[k] = now;
        }
        m_position[k] = looks[k].position;
    }
    std::vector<int> stalled;
    for (int k = 0; k < 4; ++k) {
        if (m_named[k] || m_lastMove[k] < 0.0 || now - m_lastMove[k] < kStallSeconds) {
            continue;
        }
        // Only while another channel goes on: when all stop together the set is held (a slow
        // disk, a seek), not one file broken.
        bool othersMove = false;
        for (int j = 0; j < 4; ++j) {
            othersMove =
                othersMove || (j != k && m_lastMove[j] > m_lastMove[k] + 1.0 && now - m_lastMove[j] < 1.0);
        }
        if (othersMove) {
            stalled.push_back(k);
            m_named[k] = true;
        }
    }
    return stalled;
}
