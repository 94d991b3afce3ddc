#version 330
// Shared by the normal-mapped G-Buffer programs: view-space position and the tangent frame.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 6) in vec3 vTangent;
out vec4 vVectorPosition;
out vec2 vTexCoord;
out mat3 mTBN;

void main() {
	vVectorPosition = mModelViewMatrix * vVertex;
	gl_Position = mProjectionMatrix * vVectorPosition;
	vVectorPosition.w = 1.0;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
}
