#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// A lighter copy of the installed acoustic model for following a script.
//
// The model scores every 10 ms of speech against 128 Gaussians per phone
// and feature stream, and that scoring is most of what listening costs.
// Merging each phone's Gaussians two by two, always the pair whose merge
// loses the least likelihood (moment-matched, weighted by how much the
// phone's states use them), down to 32 leaves every state its mixture over
// broader Gaussians: a quarter of the scoring. With the vocabulary limited
// to the script, the broader Gaussians lose nothing measurable in following
// a reader (the reading corpus is closer, not less close).
//
// Only the Gaussians and the mixture weights change; the phone set,
// states, transitions and features are the installed model's own.
namespace CompactModel {

inline constexpr int densities = 32;

// One stream's Gaussians of one codebook, and the weights the codebook's
// senones give them.
struct Codebook {
    int dimensions = 0;
    std::vector<float> means;     // density × dimension
    std::vector<float> variances; // density × dimension
    // senone × density, as probabilities.
    std::vector<double> weights;
    int densityCount() const {
        return dimensions > 0 ? static_cast<int>(means.size()) / dimensions : 0;
    }
};

// Merges the codebook down to `target` Gaussians; the weights of merged
// Gaussians add up. A codebook already that small is left alone.
void reduce(Codebook &codebook, int target);

// The codebook (phone) each senone of a binary model definition belongs
// to; empty, with the reason, when the file is not one.
std::vector<int> senoneCodebooks(const QString &mdefPath, QString *error);

// Reads the model in `modelFolder` and writes its compact means, variances
// and sendump into `outputFolder`. An empty string when done, otherwise a
// sentence naming the file and what is wrong with it.
QString write(const QString &modelFolder, const QString &outputFolder);

} // namespace CompactModel
