// "did you mean ...?" for misspelt command, effect, filter and option names.
#pragma once

#include <string>
#include <vector>

// The candidate closest to word by edit distance (case ignored), when it is
// close enough to be a likely misspelling (or word is a prefix of just one
// candidate); "" otherwise.
std::string ClosestName(const std::string& word, const std::vector<std::string>& candidates);
// " (did you mean 'NAME'?)" for the closest candidate, "" when none is close.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);
