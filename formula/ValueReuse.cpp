// ReusePlan: the walk over Postfix that finds repeated and constant subexpressions, the spills a
// skipped subexpression would have made, and the folding of constants by the machine code.

#include "formula/ValueReuse.h"

#include <cstring>
#include <string>
#include <unordered_map>

namespace tandor::evaluator {

namespace {

// One subexpression of a program: the bytes [Begin, End) of its Postfix.
struct Node {
  uint32_t Begin, End;
  bool Leaf;
  bool Constant; // no variable and no parameter below it
};

// Canonical spelling of a program: tokens as they are, operand pairs replaced by what they load.
// The markers are not token bytes, so equal spellings are equal token sequences.
constexpr char VariableMark = '\xF0', ParameterMark = '\xF1', NumberMark = '\xF2';

struct ParsedProgram {
  std::vector<Node> Nodes;
  std::vector<std::vector<int>> StartingAt; // node ids per byte, innermost first
  std::vector<int> EndingAt;                // the node whose last token starts at a byte
  std::string Spelling;
  std::vector<uint32_t> SpellingAt; // where each byte's token starts in Spelling (size + 1)

  std::string_view Key(const Node &n) const {
    return std::string_view(Spelling).substr(SpellingAt[n.Begin],
                                             SpellingAt[n.End] - SpellingAt[n.Begin]);
  }
};

bool OperandIsConstant(const PlanInput &p, int k) {
  const OperandSource source = DecodeOperand(k, p.VariableCount);
  return source.kind == OperandSource::Constant && source.index > p.ParameterCount;
}

void SpellOperand(const PlanInput &p, int program, int k, std::string &out) {
  const OperandSource source = DecodeOperand(k, p.VariableCount);
  if (source.kind == OperandSource::Variable) {
    out += VariableMark;
    out += static_cast<char>(k);
  } else if (source.index <= p.ParameterCount) {
    // Each formula has its own parameter slots: only the same formula's p is the same p.
    out += ParameterMark;
    out += static_cast<char>(program);
    out += static_cast<char>(source.index);
  } else {
    char bits[sizeof(double)];
    std::memcpy(bits, &p.Constants[static_cast<std::size_t>(source.index)], sizeof bits);
    out += NumberMark;
    out.append(bits, sizeof bits);
  }
}

// Postfix is well formed (IsWellFormed): every operator finds its operands.
ParsedProgram Parse(const PlanInput &p, int program) {
  ParsedProgram parsed;
  const std::string_view postfix = p.Postfix;
  parsed.StartingAt.resize(postfix.size());
  parsed.EndingAt.assign(postfix.size(), -1);
  parsed.SpellingAt.assign(postfix.size() + 1, 0);
  std::vector<int> open;
  for (uint32_t i = 0; i < postfix.size(); ++i) {
    const auto token = static_cast<unsigned char>(postfix[i]);
    parsed.SpellingAt[i] = static_cast<uint32_t>(parsed.Spelling.size());
    Node node{i, i + 1, true, true};
    if (token == OperandMarker) {
      const int k = static_cast<unsigned char>(postfix[i + 1]);
      SpellOperand(p, program, k, parsed.Spelling);
      node.Constant = OperandIsConstant(p, k);
      node.End = i + 2;
      parsed.SpellingAt[i + 1] = static_cast<uint32_t>(parsed.Spelling.size());
    } else {
      parsed.Spelling += static_cast<char>(token);
      if (token != '1' && token != 'p') {
        node.Leaf = false;
        const Node right = parsed.Nodes[static_cast<std::size_t>(open.back())];
        open.pop_back();
        node.Begin = right.Begin;
        node.Constant = right.Constant;
        if (IsBinaryOperator(token)) {
          const Node left = parsed.Nodes[static_cast<std::size_t>(open.back())];
          open.pop_back();
          node.Begin = left.Begin;
          node.Constant = node.Constant && left.Constant;
        }
      }
    }
    const int id = static_cast<int>(parsed.Nodes.size());
    parsed.Nodes.push_back(node);
    parsed.StartingAt[node.Begin].push_back(id);
    parsed.EndingAt[i] = id;
    open.push_back(id);
    i = node.End - 1;
  }
  parsed.SpellingAt[postfix.size()] = static_cast<uint32_t>(parsed.Spelling.size());
  return parsed;
}

class PlanMaker {
public:
  PlanMaker(std::span<const PlanInput> programs, bool reuse) : Reuse(reuse) {
    for (std::size_t k = 0; k < programs.size(); ++k)
      Parsed.push_back(Parse(programs[k], static_cast<int>(k)));
    if (reuse)
      for (const ParsedProgram &p : Parsed)
        for (const Node &n : p.Nodes)
          if (!n.Leaf)
            ++Occurrences[p.Key(n)];
  }

  ReusePlan Make() {
    ReusePlan plan;
    for (std::size_t k = 0; k < Parsed.size(); ++k)
      plan.Steps.push_back(Walk(static_cast<int>(k), plan));
    DropUnusedSaves(plan);
    return plan;
  }

private:
  std::vector<ReuseStep> Walk(int program, ReusePlan &plan) {
    const ParsedProgram &p = Parsed[static_cast<std::size_t>(program)];
    std::vector<ReuseStep> steps;
    for (uint32_t i = 0; i < p.StartingAt.size();) {
      if (const ReuseStep load = Load(program, i, plan); load.kind != ReuseStep::Token) {
        steps.push_back(load);
        i = load.End;
        continue;
      }
      const Node &node = p.Nodes[static_cast<std::size_t>(p.EndingAt[i])];
      ReuseStep step{ReuseStep::Token, i, node.End, -1, -1};
      if (!node.Leaf && Occurrences[p.Key(node)] >= 2 && SlotCount < MaxReuseSlots) {
        step.SaveTo = SlotCount++;
        Saved.emplace(p.Key(node), step.SaveTo);
      }
      steps.push_back(step);
      i = node.End;
    }
    return steps;
  }

  // The largest subexpression starting at byte i that need not be computed here, as a load;
  // a Token step when there is none.
  ReuseStep Load(int program, uint32_t i, ReusePlan &plan) {
    const ParsedProgram &p = Parsed[static_cast<std::size_t>(program)];
    if (!Reuse)
      return {};
    const std::vector<int> &nodes = p.StartingAt[i];
    for (auto id = nodes.rbegin(); id != nodes.rend(); ++id) {
      const Node &n = p.Nodes[static_cast<std::size_t>(*id)];
      if (n.Leaf)
        break;
      const std::string_view key = p.Key(n);
      if (n.Constant) {
        auto [folded, added] = Folded.emplace(key, static_cast<int>(plan.FoldedValues.size()));
        if (added && plan.FoldedValues.size() >= MaxReuseSlots) {
          Folded.erase(folded);
          continue;
        }
        if (added)
          plan.FoldedValues.push_back({program, n.Begin, n.End});
        return {ReuseStep::LoadFolded, n.Begin, n.End, folded->second, -1};
      }
      if (const auto saved = Saved.find(key); saved != Saved.end()) {
        ++Uses[saved->second];
        return {ReuseStep::LoadSaved, n.Begin, n.End, saved->second, -1};
      }
    }
    return {};
  }

  // A value saved where every later occurrence lies inside a larger reused one is never read:
  // dropping its save changes no choice of the walk.
  void DropUnusedSaves(ReusePlan &plan) const {
    std::vector<int> renumbered(static_cast<std::size_t>(SlotCount), -1);
    int used = 0;
    for (int s = 0; s < SlotCount; ++s)
      if (Uses.count(s))
        renumbered[static_cast<std::size_t>(s)] = used++;
    for (std::vector<ReuseStep> &steps : plan.Steps)
      for (ReuseStep &step : steps) {
        if (step.SaveTo >= 0)
          step.SaveTo = renumbered[static_cast<std::size_t>(step.SaveTo)];
        if (step.kind == ReuseStep::LoadSaved)
          step.Index = renumbered[static_cast<std::size_t>(step.Index)];
      }
    plan.SlotCount = used;
  }

  bool Reuse;
  std::vector<ParsedProgram> Parsed;
  std::unordered_map<std::string_view, int> Occurrences;
  std::unordered_map<std::string_view, int> Saved;  // key -> slot
  std::unordered_map<std::string_view, int> Folded; // key -> folded value
  std::unordered_map<int, int> Uses;                // slot -> loads
  int SlotCount = 0;
};

} // namespace

PlanInput PlanInputOf(const TOCFunctDDDoubleSafe &formula) {
  return {formula.Postfix, formula.VariableCount, formula.ParameterCount, formula.Constants};
}

namespace {

// The subexpression [begin, end) of formula as a formula of its own, with the same operands.
std::unique_ptr<TOCFunctDDDoubleSafe> Subexpression(const TOCFunctDDDoubleSafe &formula,
                                                    uint32_t begin, uint32_t end) {
  auto part = std::make_unique<TOCFunctDDDoubleSafe>();
  part->Postfix = formula.Postfix.substr(begin, end - begin);
  part->VariableCount = formula.VariableCount;
  part->ParameterCount = formula.ParameterCount;
  part->Constants = formula.Constants;
  part->ReuseSubexpressions = false;
  return part;
}

// A constant reads no variable; the array only keeps the evaluator's view of its values defined.
constexpr std::size_t MaxVariables = 2 * 256;

} // namespace

std::vector<FoldedNumber> FoldByMachineCode(std::span<const TOCFunctDDDoubleSafe *const> formulas,
                                            const ReusePlan &plan, Pass pass) {
  const std::vector<double> unused(MaxVariables, 0.0);
  std::vector<FoldedNumber> folded;
  for (const ReusePlan::Folded &f : plan.FoldedValues) {
    const auto part = Subexpression(*formulas[static_cast<std::size_t>(f.Program)], f.Begin, f.End);
    part->GenerateValueCode();
    if (pass == Pass::Value) {
      folded.push_back({part->ValueEntry != nullptr ? part->ValueEntry(unused.data(), 0)
                                                    : part->EvaluateReference(unused.data()),
                        0});
      continue;
    }
    part->GenerateDerivativeCode();
    if (part->DerivativeEntry != nullptr) {
      const long double value = part->DerivativeEntry(unused.data(), 0);
      folded.push_back({value, part->DerivativeSlots[1]});
    } else {
      const DerivativeResult r = part->EvaluateWithDerivativeReference(unused.data());
      folded.push_back({r.value, r.derivative});
    }
  }
  return folded;
}

ReusePlan MakeReusePlan(std::span<const PlanInput> programs, bool reuse) {
  return PlanMaker(programs, reuse).Make();
}

int SkippedSpills(std::string_view postfix, std::size_t begin, std::size_t end, int freeRegisters,
                  Pass pass) {
  int below = 8 - freeRegisters; // values of the context in registers
  int own = 0;                   // the subexpression's values in registers
  int spills = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const auto token = static_cast<unsigned char>(postfix[i]);
    const bool binary = IsBinaryOperator(token);
    // A reload before an operator brings back the subexpression's own left operand: its own
    // values were spilled only after every value below it had been.
    if (binary && below + own == 1)
      ++own;
    for (const int need = RegistersToReserve(token, pass); 8 - below - own < need;) {
      if (below > 0) {
        --below;
        ++spills;
      } else {
        --own;
      }
    }
    if (token == OperandMarker) {
      ++i;
      ++own;
    } else if (token == '1' || token == 'p') {
      ++own;
    } else if (binary) {
      --own;
    }
  }
  return spills;
}

} // namespace tandor::evaluator
