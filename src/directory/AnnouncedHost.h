#pragma once
// Computers that announce themselves on the network (host announcements on
// the browse mailslot), as a source the network directory merges into its
// enumeration: it finds computers that no master browser lists.

#include <string>
#include <vector>

namespace vantrel {

// One computer as its last announcement described it. Bytes in the system
// code page, as on the wire.
struct AnnouncedHost {
  std::string workgroup;  // the domain or workgroup it announced itself in
  std::string computer;   // its NetBIOS name, without padding
  std::string comment;    // its server comment; may be empty
};

class IAnnouncementSource {
 public:
  virtual ~IAnnouncementSource() = default;
  // The computers whose announcements have not expired, in no particular
  // order. Safe to call from any thread.
  virtual std::vector<AnnouncedHost> AnnouncedHosts() = 0;
  // Asks the hosts of the workgroups to announce themselves soon (an
  // announcement request); does nothing where nothing can be sent.
  virtual void RequestAnnouncements() = 0;
};

}  // namespace vantrel
