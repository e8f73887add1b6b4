#include "tools/ctadm_diff.h"

#include "compare/difftext.h"

namespace ctadm {

int RunDiff(AdminClient& client, const DiffRequest& request, std::ostream& out, std::string* error) {
  const int sides = (request.revision > 0) + request.haveFile + !request.with.empty();
  if (sides != 1) {
    *error = "diff needs one of --revision, --file or --with";
    return 2;
  }
  if (!request.with.empty() && request.with.size() != 1 && request.with.size() != 3) {
    *error = "--with takes a server, or a server, a name and a class";
    return 2;
  }

  QV_DataElement mine, theirs;
  if (!client.Fetch(request.name, request.profileClass, &mine, error)) return 2;
  AdminClient other;
  const AdminClient* oldSide = &client;
  if (request.revision > 0) {
    if (!client.FetchRevision(request.name, request.profileClass, request.revision, &theirs, error)) return 2;
  } else if (request.haveFile) {
    if (!client.ReadProfileText(request.fileText, &theirs, error)) return 2;
  } else {
    const bool sameProfile = request.with.size() == 1;
    if (!other.Open(request.with[0], error) ||
        !other.Fetch(sameProfile ? request.name : request.with[1], sameProfile ? request.profileClass : request.with[2],
                     &theirs, error))
      return 2;
    oldSide = &other;
  }

  compare::Options options;
  options.byName = request.byName;
  options.oldNames = oldSide->Names();
  options.newNames = client.Names();
  std::vector<compare::Difference> diffs;
  if (!compare::Diff(theirs, mine, options, &diffs)) {
    *error = "cannot compare the profiles (out of memory)";
    return 2;
  }
  for (const compare::Difference& d : diffs) out << compare::DifferenceLine(d, options.oldNames, options.newNames) << "\n";
  out.flush();
  if (!out) {
    *error = "cannot write the differences to standard output";
    return 2;
  }
  return diffs.empty() ? 0 : 1;
}

}  // namespace ctadm
