#include "importer/orj_import_guard.h"

#include <assimp/scene.h>
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace orj {

// ---- Collada, checked with a streaming XML parser before the library reads it

namespace {

struct ColladaNode {
    std::vector<int> children;           // nodes nested in this one
    std::vector<std::string> instances;  // targets of its instance_node elements ("#id")
};

struct ColladaScan {
    XML_Parser parser;
    int depth;
    bool too_deep;
    std::vector<ColladaNode> nodes;
    std::vector<int> open_nodes;        // the nodes enclosing the current element
    std::vector<char> element_is_node;  // per open element
    std::unordered_map<std::string, int> by_id, by_name;
};

const char *local_name(const char *name)
{
    const char *colon = strrchr(name, ':');
    return colon ? colon + 1 : name;
}

const char *attribute(const char **attributes, const char *wanted)
{
    for (int i = 0; attributes[i]; i += 2)
        if (strcmp(local_name(attributes[i]), wanted) == 0) return attributes[i + 1];
    return nullptr;
}

void XMLCALL start_element(void *data, const char *name, const char **attributes)
{
    ColladaScan *scan = (ColladaScan *)data;
    if (++scan->depth > MAX_COLLADA_DEPTH) {
        scan->too_deep = true;
        XML_StopParser(scan->parser, XML_FALSE);
        return;
    }
    const char *local = local_name(name);
    bool is_node = strcmp(local, "node") == 0;
    scan->element_is_node.push_back(is_node);
    if (is_node) {
        int index = (int)scan->nodes.size();
        scan->nodes.push_back(ColladaNode());
        if (!scan->open_nodes.empty()) scan->nodes[scan->open_nodes.back()].children.push_back(index);
        scan->open_nodes.push_back(index);
        const char *id = attribute(attributes, "id"), *node_name = attribute(attributes, "name");
        if (id) scan->by_id.emplace(id, index);
        if (node_name) scan->by_name.emplace(node_name, index);
    } else if (strcmp(local, "instance_node") == 0 && !scan->open_nodes.empty()) {
        const char *url = attribute(attributes, "url");
        if (url && url[0] == '#') scan->nodes[scan->open_nodes.back()].instances.push_back(url + 1);
    }
}

void XMLCALL end_element(void *data, const char *)
{
    ColladaScan *scan = (ColladaScan *)data;
    scan->depth--;
    if (scan->element_is_node.empty()) return;
    if (scan->element_is_node.back()) scan->open_nodes.pop_back();
    scan->element_is_node.pop_back();
}

// The nodes each node brings into the scene: its own, then instanced ones.
std::vector<std::vector<int>> node_edges(const ColladaScan &scan)
{
    std::vector<std::vector<int>> edges(scan.nodes.size());
    for (size_t n = 0; n < scan.nodes.size(); n++) {
        edges[n] = scan.nodes[n].children;
        for (const std::string &target : scan.nodes[n].instances) {
            auto by_id = scan.by_id.find(target);
            auto by_name = scan.by_name.find(target);
            if (by_id != scan.by_id.end()) edges[n].push_back(by_id->second);
            else if (by_name != scan.by_name.end()) edges[n].push_back(by_name->second);
        }
    }
    return edges;
}

// Whether some node reaches itself; else *largest is the most nodes one
// node expands to (counted up to the limit).
bool has_cycle(const std::vector<std::vector<int>> &edges, int64_t *largest)
{
    enum {
        NEW,
        OPEN,
        DONE
    };
    std::vector<char> state(edges.size(), NEW);
    std::vector<int64_t> expanded(edges.size(), 1);
    std::vector<std::pair<int, size_t>> stack;  // node, next edge
    *largest = 0;
    for (size_t start = 0; start < edges.size(); start++) {
        if (state[start] != NEW) continue;
        stack.push_back({(int)start, 0});
        state[start] = OPEN;
        while (!stack.empty()) {
            int node = stack.back().first;
            size_t &next = stack.back().second;
            if (next < edges[node].size()) {
                int child = edges[node][next++];
                if (state[child] == OPEN) return true;
                if (state[child] == NEW) {
                    state[child] = OPEN;
                    stack.push_back({child, 0});
                }
                continue;
            }
            for (int child : edges[node])
                expanded[node] = std::min<int64_t>(expanded[node] + expanded[child], (int64_t)MAX_COLLADA_NODES + 1);
            *largest = std::max(*largest, expanded[node]);
            state[node] = DONE;
            stack.pop_back();
        }
    }
    return false;
}

bool has_extension(const char *path, const char *extension)
{
    size_t length = strlen(path), wanted = strlen(extension);
    return length > wanted && path[length - wanted - 1] == '.' && strcasecmp(path + length - wanted, extension) == 0;
}

bool contains_folded(const char *bytes, size_t size, const char *token)
{
    size_t length = strlen(token);
    for (size_t i = 0; i + length <= size; i++)
        if (strncasecmp(bytes + i, token, length) == 0) return true;
    return false;
}

}  // namespace

// What a finished scan says of the file at path.
static ErrorKind judge_collada(ColladaScan *scan, bool well_formed, const char *path, Error *error)
{
    int line = (int)XML_GetCurrentLineNumber(scan->parser);
    const char *message = XML_ErrorString(XML_GetErrorCode(scan->parser));
    std::string reason = message ? message : "";
    XML_ParserFree(scan->parser);
    if (scan->too_deep)
        return set_error(error, ERROR_TOO_LARGE, path, line, "elements nest more than %d deep: refused",
                         (int)MAX_COLLADA_DEPTH);
    if (!well_formed) return set_error(error, ERROR_MALFORMED, path, line, "not well-formed XML: %s", reason.c_str());
    int64_t largest = 0;
    if (has_cycle(node_edges(*scan), &largest))
        return set_error(error, ERROR_MALFORMED, path, 0, "a node contains itself through instance_node: refused");
    if (largest > MAX_COLLADA_NODES)
        return set_error(error, ERROR_TOO_LARGE, path, 0, "the instanced nodes come to more than %d: refused",
                         (int)MAX_COLLADA_NODES);
    return ERROR_NONE;
}

static void begin_scan(ColladaScan *scan)
{
    scan->parser = XML_ParserCreate(nullptr);
    scan->depth = 0;
    scan->too_deep = false;
    XML_SetUserData(scan->parser, scan);
    XML_SetElementHandler(scan->parser, start_element, end_element);
}

ErrorKind check_collada_text(const char *text, size_t size, const char *path, Error *error)
{
    ColladaScan scan;
    begin_scan(&scan);
    bool well_formed = size <= (size_t)INT32_MAX && XML_Parse(scan.parser, text, (int)size, XML_TRUE) == XML_STATUS_OK;
    return judge_collada(&scan, well_formed, path, error);
}

ErrorKind check_collada_file(const char *path, Error *error)
{
    FILE *file = fopen(path, "rb");
    if (!file) return ERROR_NONE;  // the library says why it cannot read it
    std::vector<char> buffer(65536);
    size_t size = fread(buffer.data(), 1, buffer.size(), file);
    const char *head = buffer.data();
    size_t head_size = std::min<size_t>(size, 4096);
    bool zip = head_size >= 4 && memcmp(head, "PK\3\4", 4) == 0;
    if (has_extension(path, "zae") || (zip && contains_folded(head, head_size, "manifest.xml"))) {
        fclose(file);
        return set_error(error, ERROR_UNSUPPORTED, path, 0,
                         "zipped Collada is not taken: unpack it and import the .dae file");
    }
    if (zip || (!has_extension(path, "dae") && !contains_folded(head, head_size, "<collada"))) {
        fclose(file);
        return ERROR_NONE;
    }

    ColladaScan scan;
    begin_scan(&scan);
    bool well_formed = true;
    for (bool last = false; !last && well_formed && !scan.too_deep;
         size = fread(buffer.data(), 1, buffer.size(), file)) {
        last = size == 0;
        well_formed = XML_Parse(scan.parser, buffer.data(), (int)size, last) == XML_STATUS_OK;
    }
    fclose(file);
    return judge_collada(&scan, well_formed, path, error);
}

// ---- binary glTF, its sizes checked against the file's

ErrorKind check_glb_file(const char *path, Error *error)
{
    FILE *file = fopen(path, "rb");
    if (!file) return ERROR_NONE;  // the library says why it cannot read it
    unsigned char head[20];
    size_t got = fread(head, 1, sizeof head, file);
    long long size = fseek(file, 0, SEEK_END) == 0 ? (long long)ftell(file) : -1;
    fclose(file);
    if (got < 12 || memcmp(head, "glTF", 4) != 0 || size < 0) return ERROR_NONE;
    auto u32 = [&](int at) {
        return (long long)head[at] | (long long)head[at + 1] << 8 | (long long)head[at + 2] << 16 |
               (long long)head[at + 3] << 24;
    };
    long long total = u32(8), chunk = got >= 16 ? u32(12) : 0;
    if (total > size || chunk > size - 12)
        return set_error(
            error, ERROR_MALFORMED, path, 0,
            "the binary glTF header says %lld bytes (its first chunk %lld), but the file holds %lld: refused", total,
            chunk, size);
    return ERROR_NONE;
}

// ---- meshes, repaired before the library's mesh steps

static void repair_mesh(aiMesh *mesh, MeshRepairs *repairs)
{
    unsigned vertices = mesh->mVertices ? mesh->mNumVertices : 0;
    // Dropped faces go to the end of the array, which still frees them all.
    unsigned kept = 0;
    for (unsigned f = 0; mesh->mFaces && f < mesh->mNumFaces; f++) {
        aiFace &face = mesh->mFaces[f];
        bool sound = face.mIndices && face.mNumIndices > 0;
        for (unsigned k = 0; sound && k < face.mNumIndices; k++) sound = face.mIndices[k] < vertices;
        if (!sound) continue;
        std::swap(face.mIndices, mesh->mFaces[kept].mIndices);
        std::swap(face.mNumIndices, mesh->mFaces[kept].mNumIndices);
        kept++;
    }
    if (mesh->mFaces) {
        repairs->faces_dropped += mesh->mNumFaces - kept;
        mesh->mNumFaces = kept;
    }
    for (unsigned b = 0; mesh->mBones && b < mesh->mNumBones; b++) {
        aiBone *bone = mesh->mBones[b];
        if (!bone || !bone->mWeights) continue;
        unsigned kept_weights = 0;
        for (unsigned w = 0; w < bone->mNumWeights; w++)
            if (bone->mWeights[w].mVertexId < vertices) bone->mWeights[kept_weights++] = bone->mWeights[w];
        repairs->weights_dropped += bone->mNumWeights - kept_weights;
        bone->mNumWeights = kept_weights;
    }
    if (mesh->mAnimMeshes) {
        unsigned kept_morphs = 0;
        for (unsigned a = 0; a < mesh->mNumAnimMeshes; a++) {
            aiAnimMesh *morph = mesh->mAnimMeshes[a];
            if (morph && morph->mNumVertices == mesh->mNumVertices && morph->mVertices) {
                mesh->mAnimMeshes[kept_morphs++] = morph;
                continue;
            }
            delete morph;
            repairs->morphs_dropped++;
        }
        mesh->mNumAnimMeshes = kept_morphs;
        if (kept_morphs == 0) {
            delete[] mesh->mAnimMeshes;
            mesh->mAnimMeshes = nullptr;
        }
    }
}

void repair_meshes(aiScene *scene, MeshRepairs *repairs)
{
    *repairs = MeshRepairs();
    for (unsigned m = 0; scene->mMeshes && m < scene->mNumMeshes; m++)
        if (scene->mMeshes[m]) repair_mesh(scene->mMeshes[m], repairs);
}

}  // namespace orj
