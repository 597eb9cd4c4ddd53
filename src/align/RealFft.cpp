#include "align/RealFft.h"

#include <kissfft/kiss_fftr.h>

#include <stdexcept>

static_assert(sizeof(kiss_fft_cpx) == sizeof(std::complex<float>), "KissFFT's complex is two floats");

RealFft::RealFft(std::size_t n) : m_n(n) {
    if (n < 2 || n % 2 != 0) {
        throw std::invalid_argument("RealFft: the size must be even");
    }
    m_forward = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
    m_inverse = kiss_fftr_alloc(static_cast<int>(n), 1, nullptr, nullptr);
    if (m_forward == nullptr || m_inverse == nullptr) {
        kiss_fftr_free(m_forward);
        kiss_fftr_free(m_inverse);
        throw std::bad_alloc();
    }
}

RealFft::~RealFft() {
    kiss_fftr_free(m_forward);
    kiss_fftr_free(m_inverse);
}

void RealFft::Forward(const float* in, std::complex<float>* out) const {
    kiss_fftr(static_cast<kiss_fftr_cfg>(m_forward), in, reinterpret_cast<kiss_fft_cpx*>(out));
}

void RealFft::Inverse(const std::complex<float>* in, float* out) const {
    kiss_fftri(static_cast<kiss_fftr_cfg>(m_inverse), reinterpret_cast<const kiss_fft_cpx*>(in), out);
}

std::size_t RealFft::FastSize(std::size_t n) {
    if (n <= 2) {
        return 2;
    }
    for (std::size_t m = n + (n % 2);; m += 2) {
        std::size_t r = m;
        for (std::size_t f : {2u, 3u, 5u}) {
            while (r % f == 0) {
                r /= f;
            }
        }
        if (r == 1) {
            return m;
        }
    }
}
