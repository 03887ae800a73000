#include "engine/fit/SparseSolve.h"

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/Sparse>

#include "engine/base/Parallel.h"

namespace {

template <typename TPreconditioner>
Eigen::MatrixXd Solved(const Eigen::SparseMatrix<double>& system, const Eigen::MatrixXd& rhs,
                       const Eigen::MatrixXd& start, double tolerance, int maxIterations) {
    Eigen::MatrixXd solution(rhs.rows(), rhs.cols());
    ParallelFor(static_cast<int>(rhs.cols()), 1, [&](int begin, int end) {
        Eigen::ConjugateGradient<Eigen::SparseMatrix<double>, Eigen::Lower | Eigen::Upper, TPreconditioner> solver;
        solver.setTolerance(tolerance);
        solver.setMaxIterations(maxIterations);
        solver.compute(system);
        for (int ch = begin; ch < end; ++ch) solution.col(ch) = solver.solveWithGuess(rhs.col(ch), start.col(ch));
    });
    return solution;
}

}  // namespace

Eigen::MatrixXd SolveSymmetric(std::vector<Eigen::Triplet<double>> entries, Eigen::Index nodes,
                               const Eigen::MatrixXd& rhs, const Eigen::MatrixXd& start, bool exact, double tolerance,
                               int maxIterations) {
    Eigen::SparseMatrix<double> system(nodes, nodes);
    system.setFromTriplets(entries.begin(), entries.end());
    entries = {};
    if (exact) return Solved<Eigen::IncompleteCholesky<double>>(system, rhs, start, tolerance, maxIterations);
    return Solved<Eigen::DiagonalPreconditioner<double>>(system, rhs, start, tolerance, maxIterations);
}
