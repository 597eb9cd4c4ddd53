#pragma once
// A forward and an inverse real FFT of one size (KissFFT), freed with the object. The inverse
// is not scaled: inverse(forward(x)) is n * x.
#include <complex>
#include <cstddef>
#include <vector>

class RealFft {
public:
    // n: even, at least 2.
    explicit RealFft(std::size_t n);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    std::size_t Size() const { return m_n; }
    // in: Size() samples; out: Size() / 2 + 1 bins.
    void Forward(const float* in, std::complex<float>* out) const;
    // in: Size() / 2 + 1 bins; out: Size() samples.
    void Inverse(const std::complex<float>* in, float* out) const;

    // The smallest even size >= n whose factors are 2, 3 and 5 only (the FFT is fastest there).
    static std::size_t FastSize(std::size_t n);

private:
    std::size_t m_n;
    void* m_forward = nullptr;
    void* m_inverse = nullptr;
};
