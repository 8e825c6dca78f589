#pragma once

#include <vector>

#include "editor/ImageFilter.h"

// The weights of one separable pass: for every output index the window of input indices
// [left, right] and one weight per index in it, normalised to sum 1 where the sum is positive.
class ContributionTable {
public:
    using Kernel = double (*)(double x, double radius);

    ContributionTable(int outSize, int inSize, double radius, Kernel kernel);

    int GetOutSize() const { return int(m_left.size()); }
    // Room for weights in each entry: 2 * ceil(width) + 1.
    int GetCapacity() const { return m_capacity; }
    int GetLeft(int i) const { return m_left[size_t(i)]; }
    int GetRight(int i) const { return m_right[size_t(i)]; }
    // Weights for GetLeft(i) .. GetRight(i).
    const double* GetWeights(int i) const { return &m_weights[size_t(i) * size_t(m_capacity)]; }

private:
    int m_capacity = 0;
    std::vector<int> m_left, m_right;
    std::vector<double> m_weights;
};

// The four kernels, each 0 outside its support.
double BilinearKernel(double x, double radius);
double BoxKernel(double x, double radius);
double GaussianKernel(double x, double radius);
double HammingKernel(double x, double radius);

// Resamples a 32-bit picture to a new size: a horizontal pass into an intermediate picture,
// then a vertical pass into the destination. Every sum is rounded to nearest and kept within
// 0..255 (the Hamming kernel has negative lobes above radius 1, and a wrapped byte would be a
// plainly wrong pixel).
class ResizeFilter : public ImageFilter {
public:
    ResizeFilter(int newWidth, int newHeight, double radius, ContributionTable::Kernel kernel,
                 ProgressSink* progress)
        : ImageFilter(progress), m_newWidth(newWidth), m_newHeight(newHeight), m_radius(radius),
          m_kernel(kernel) {}
    void Apply(const CPicture& source, CPicture& destination) override;

    // Off: the portable loops even where the processor has wider vector instructions (both
    // give the same bytes; tests run both).
    static void EnableVectorKernels(bool enable);
    // The widest vector instructions used, for tests: 0 the portable loops, 1 AVX2, 2 AVX-512
    // (each only where the processor has it).
    static void LimitVectorKernels(int level);

private:
    int m_newWidth;
    int m_newHeight;
    double m_radius;
    ContributionTable::Kernel m_kernel;
};

class BilinearResizeFilter : public ResizeFilter {
public:
    BilinearResizeFilter(int newWidth, int newHeight, ProgressSink* progress = nullptr)
        : ResizeFilter(newWidth, newHeight, 1.0, BilinearKernel, progress) {}
};

class BoxResizeFilter : public ResizeFilter {
public:
    BoxResizeFilter(int newWidth, int newHeight, double radius, ProgressSink* progress = nullptr)
        : ResizeFilter(newWidth, newHeight, radius, BoxKernel, progress) {}
};

class GaussianResizeFilter : public ResizeFilter {
public:
    GaussianResizeFilter(int newWidth, int newHeight, double radius,
                         ProgressSink* progress = nullptr)
        : ResizeFilter(newWidth, newHeight, radius, GaussianKernel, progress) {}
};

class HammingResizeFilter : public ResizeFilter {
public:
    HammingResizeFilter(int newWidth, int newHeight, double radius,
                        ProgressSink* progress = nullptr)
        : ResizeFilter(newWidth, newHeight, radius, HammingKernel, progress) {}
};
