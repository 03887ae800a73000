#pragma once
#include <Eigen/Core>
#include <Eigen/SparseCore>
#include <vector>

// A symmetric positive definite system of `nodes` unknowns given by its
// entries (both halves, repeated entries summed), solved by conjugate
// gradients from `start` for each column of `rhs`, the columns side by side
// on the worker threads, each with its own solver: a column's result does
// not depend on where it runs. `exact` preconditions with an incomplete
// Cholesky factorisation, otherwise with the diagonal.
Eigen::MatrixXd SolveSymmetric(std::vector<Eigen::Triplet<double>> entries, Eigen::Index nodes,
                               const Eigen::MatrixXd& rhs, const Eigen::MatrixXd& start, bool exact, double tolerance,
                               int maxIterations);
