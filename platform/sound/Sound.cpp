// Placeholder: module music output comes here.
namespace sound {}
